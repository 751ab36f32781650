#include "figures/stats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <exception>
#include <limits>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "figures/coverage.h"
#include "figures/rank_selector.h"
#include "figures/wide_sum.h"

namespace sheetkit {

namespace {

// Order-preserving keys for the selector.
uint64_t area_key(int32_t area) { return static_cast<uint32_t>(area) ^ 0x80000000u; }
int64_t key_area(uint64_t key) { return static_cast<int64_t>(key) - int64_t{0x80000000}; }

// The ratio as the double that is shown, by its bits in the order of the
// values. Division rounds correctly, so it never puts two ratios in the
// wrong order (it may make two of them equal): the median of these doubles
// is the double of the median of the exact fractions, with no need to
// compare L1 * W2 with L2 * W1.
uint64_t ratio_key(double ratio) {
  const auto bits = std::bit_cast<uint64_t>(ratio);
  return bits >> 63 ? ~bits : bits | uint64_t{1} << 63;
}
double key_ratio(uint64_t key) {
  return std::bit_cast<double>(key >> 63 ? key & ~(uint64_t{1} << 63) : ~key);
}

// The keys of a block's item types, each kind in a loop of its own, apart
// from where they are counted: the divisions overlap one another there,
// and a run's files hold hundreds of millions.
void area_keys(std::span<const rectangle> items, std::vector<uint64_t>& keys) {
  keys.resize(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) keys[i] = area_key(items[i].area);
}

void ratio_keys(std::span<const rectangle> items, std::vector<uint64_t>& keys) {
  keys.resize(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const rectangle& r = items[i];
    const double ratio = static_cast<double>(r.length) / (r.width != 0 ? r.width : 1);
    // A width of 0 is not from sheetgen, but a file may say so; keep the
    // order sensible.
    const double zero_width = r.length > 0    ? std::numeric_limits<double>::infinity()
                              : r.length == 0 ? std::numeric_limits<double>::quiet_NaN()
                                              : -std::numeric_limits<double>::infinity();
    keys[i] = ratio_key(r.width != 0 ? ratio : zero_width);
  }
}

// Smallest, largest and sum of a measure over the instances.
struct over_instances {
  spread<int64_t, double> s;
  wide_sum sum;

  void add(int64_t value) {
    if (s.count == 0 || value < s.min) s.min = value;
    if (s.count == 0 || value > s.max) s.max = value;
    ++s.count;
    sum.add(value);
  }
  void add(const over_instances& other) {
    if (other.s.count == 0) return;
    if (s.count == 0 || other.s.min < s.min) s.min = other.s.min;
    if (s.count == 0 || other.s.max > s.max) s.max = other.s.max;
    s.count += other.s.count;
    sum.add(other.sum);
  }
  spread<int64_t, double> result() const {
    spread<int64_t, double> r = s;
    if (r.count > 0) r.middle = sum.value() / static_cast<double>(r.count);
    return r;
  }
};

// The item types' area and ratio keys, their smallest and largest, and
// the selectors that find their medians.
struct item_keys {
  rank_selector area;
  rank_selector ratio;
  uint64_t area_min = ~uint64_t{0}, area_max = 0;
  uint64_t ratio_min = ~uint64_t{0}, ratio_max = 0;
  std::vector<uint64_t> areas, ratios;  // a block's

  void add(std::span<const rectangle> items) {
    area_keys(items, areas);
    ratio_keys(items, ratios);
    area.add(areas);
    ratio.add(ratios);
    const auto [a_min, a_max] = std::minmax_element(areas.begin(), areas.end());
    const auto [r_min, r_max] = std::minmax_element(ratios.begin(), ratios.end());
    if (!areas.empty()) {
      area_min = std::min(area_min, *a_min);
      area_max = std::max(area_max, *a_max);
      ratio_min = std::min(ratio_min, *r_min);
      ratio_max = std::max(ratio_max, *r_max);
    }
  }
  void add(item_keys&& other) {
    area.merge(std::move(other.area));
    ratio.merge(std::move(other.ratio));
    area_min = std::min(area_min, other.area_min);
    area_max = std::max(area_max, other.area_max);
    ratio_min = std::min(ratio_min, other.ratio_min);
    ratio_max = std::max(ratio_max, other.ratio_max);
  }
};

// What the first pass finds, or a share of it finds in its instances.
class first_pass {
 public:
  explicit first_pass(const run_stats& head) : object_(head.object), rules_(head.bound_rules) {
    length_ = head.object.length;
    width_ = head.object.width;
    // Without bounds nothing is outside them.
    minarea_ = head.area_bounds ? head.area_bounds->minarea : INT32_MIN;
    maxarea_ = head.area_bounds ? head.area_bounds->maxarea : INT32_MAX;
  }

  // Takes in an instance and returns its line, with the area's smallest,
  // median and largest value only `with_areas`.
  instance_stats add(const instance& in, bool with_areas) {
    instance_stats row;
    row.number = in.number;
    row.items = static_cast<int64_t>(in.items.size());
    keys.add(in.items);
    int64_t not_fitting = 0;
    int64_t outside = 0;
    for (const rectangle& item : in.items) {
      row.total_area += item.area;
      not_fitting += (item.length > length_) | (item.width > width_);
      outside += (item.area < minarea_) | (item.area > maxarea_);
    }
    item_count += row.items;
    items_not_fitting += not_fitting;
    items_outside_bounds += outside;

    clipped_.clear();
    for (const placed_defect& d : in.defects) {
      clipped_.push_back(
          {std::max(d.x1, 0), std::max(d.y1, 0), std::min(d.x2, length_), std::min(d.y2, width_)});
    }
    row.defects = static_cast<int64_t>(in.defects.size());
    row.covered_area = union_area_(clipped_);

    bound_input b;
    b.object = object_;
    b.items = in.items;
    b.defects = in.defects;
    b.copies_each = rules_.copies;
    b.rotation = rules_.rotation;
    row.bounds = bounds_(b);

    items.add(row.items);
    total_area.add(row.total_area);
    defects.add(row.defects);
    covered.add(row.covered_area);
    usable.add(row.bounds.usable_area);
    best.add(row.bounds.best);
    best_total = add_capped(best_total, row.bounds.best);
    (row.bounds.knapsack.exact ? knapsack_exact : knapsack_relaxation) += 1;

    if (with_areas && !in.items.empty()) {
      block_areas_.clear();
      for (const rectangle& item : in.items) block_areas_.push_back(item.area);
      const auto [lo, hi] = std::minmax_element(block_areas_.begin(), block_areas_.end());
      row.area_min = *lo;
      row.area_max = *hi;
      const auto middle =
          block_areas_.begin() + static_cast<std::ptrdiff_t>((block_areas_.size() - 1) / 2);
      std::nth_element(block_areas_.begin(), middle, block_areas_.end());
      row.area_median = *middle;
    }
    return row;
  }

  void add(first_pass&& other) {
    keys.add(std::move(other.keys));
    item_count += other.item_count;
    items_not_fitting += other.items_not_fitting;
    items_outside_bounds += other.items_outside_bounds;
    items.add(other.items);
    total_area.add(other.total_area);
    defects.add(other.defects);
    covered.add(other.covered);
    usable.add(other.usable);
    best.add(other.best);
    best_total = add_capped(best_total, other.best_total);
    knapsack_exact += other.knapsack_exact;
    knapsack_relaxation += other.knapsack_relaxation;
  }

  item_keys keys;
  int64_t item_count = 0;
  int64_t items_not_fitting = 0;
  int64_t items_outside_bounds = 0;
  over_instances items, total_area, defects, covered, usable, best;
  int64_t best_total = 0;
  int64_t knapsack_exact = 0, knapsack_relaxation = 0;

 private:
  static int64_t add_capped(int64_t a, int64_t b) {
    int64_t r = 0;
    return __builtin_add_overflow(a, b, &r) ? std::numeric_limits<int64_t>::max() : r;
  }

  rectangle object_;
  stats_bound_rules rules_;
  bound_calculator bounds_;
  int32_t length_, width_, minarea_, maxarea_;
  union_area_calculator union_area_;
  std::vector<placed_defect> clipped_;
  std::vector<int32_t> block_areas_;
};

// Runs each piece of work on a thread of its own, the first on this one,
// and then throws the first error in their order, if any. Where no thread
// can be started, the rest run here after it.
void run_together(const std::vector<std::function<void()>>& work) {
  std::vector<std::exception_ptr> errors(work.size());
  const auto run = [&](std::size_t k) {
    try {
      work[k]();
    } catch (...) {
      errors[k] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  std::size_t started = 1;
  for (; started < work.size(); ++started) {
    try {
      threads.emplace_back(run, started);
    } catch (const std::system_error&) {
      break;
    }
  }
  run(0);
  for (std::size_t k = started; k < work.size(); ++k) run(k);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

}  // namespace

run_stats stats_head(const run_info& run) {
  run_stats s;
  s.object = run.object;
  s.object_area = int64_t{run.object.length} * run.object.width;
  if (run.answers) {
    const auto& a = *run.answers;
    s.area_bounds = run_stats::bounds{a.minrelsize, a.maxrelsize, a.minarea, a.maxarea};
  }
  return s;
}

run_stats compute_stats(const run_info& run, const stats_source& source, const stats_rows& rows,
                        const stats_bound_rules& bound_rules) {
  run_stats s = stats_head(run);
  s.bound_rules = bound_rules;
  first_pass all(s);
  std::vector<instance_pass> parts = source.first(bool(rows));
  bool done = false;
  if (parts.size() > 1) {
    std::vector<first_pass> shares;
    std::vector<std::function<void()>> work;
    for (std::size_t k = 0; k < parts.size(); ++k) {
      shares.emplace_back(s);
      work.push_back([&, k] { parts[k]([&](const instance& in) { shares[k].add(in, false); }); });
    }
    try {
      run_together(work);
      for (first_pass& share : shares) all.add(std::move(share));
      done = !run.answers || all.items.s.count == run.answers->no_instances;
    } catch (const sheetgen::error&) {
    }
    if (!done) {
      all = first_pass(s);
      parts = source.first(true);
    }
  }
  if (!done) {
    parts.at(0)([&](const instance& in) {
      const instance_stats row = all.add(in, bool(rows));
      if (rows) rows(row);
    });
  }
  s.passes = 1;
  s.instances = all.items.s.count;
  s.items_not_fitting = all.items_not_fitting;
  s.items_outside_bounds = all.items_outside_bounds;
  s.items_per_instance = all.items.result();
  s.total_area = all.total_area.result();
  s.defects_per_instance = all.defects.result();
  s.covered_area = all.covered.result();
  s.usable_area = all.usable.result();
  s.best_bound = all.best.result();
  s.best_bound_total = all.best_total;
  s.knapsack_exact = all.knapsack_exact;
  s.knapsack_relaxation = all.knapsack_relaxation;
  s.items = all.item_count;

  item_keys& keys = all.keys;
  const auto n = static_cast<uint64_t>(s.items);
  const std::array<uint64_t, 1> median{n > 0 ? (n - 1) / 2 : 0};
  const std::span<const uint64_t> ranks(median.data(), n > 0 ? 1 : 0);
  keys.area.choose(ranks);
  keys.ratio.choose(ranks);
  while (keys.area.needs_pass() || keys.ratio.needs_pass()) {
    const std::vector<instance_pass> later = source.again();
    std::vector<rank_selector::share> areas, ratios;
    std::vector<std::function<void()>> work;
    for (std::size_t k = 0; k < later.size(); ++k) {
      areas.push_back(keys.area.start_pass());
      ratios.push_back(keys.ratio.start_pass());
    }
    for (std::size_t k = 0; k < later.size(); ++k) {
      work.push_back([&, k] {
        std::vector<uint64_t> block;
        later[k]([&](const instance& in) {
          area_keys(in.items, block);
          areas[k].add(block);
          ratio_keys(in.items, block);
          ratios[k].add(block);
        });
      });
    }
    run_together(work);
    ++s.passes;
    keys.area.end_pass(areas);
    keys.ratio.end_pass(ratios);
  }

  if (n > 0) {
    s.item_area = {s.items, key_area(keys.area_min), key_area(keys.area.value(0)),
                   key_area(keys.area_max)};
    s.ratio = {s.items, key_ratio(keys.ratio_min), key_ratio(keys.ratio.value(0)),
               key_ratio(keys.ratio_max)};
  }
  return s;
}

}  // namespace sheetkit
