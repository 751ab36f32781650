#include "figures/table_figures.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "figures/coverage.h"
#include "figures/rank_selector.h"
#include "figures/wide_sum.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// Distinct (length, width) pairs of one instance, in a hash set that
// lives for the whole run: sorting each instance's pairs took a third of
// the time of reading the reference case.
class distinct_pairs {
 public:
  int64_t count(const std::vector<rectangle>& items) {
    std::size_t capacity = 16;
    while (capacity < 2 * items.size()) capacity *= 2;
    slots_.assign(capacity, 0);
    const int shift = 64 - std::countr_zero(capacity);
    int64_t distinct = 0;
    bool zero = false;  // the pair whose key is 0, which marks a free slot
    for (const rectangle& item : items) {
      const uint64_t key =
          uint64_t{static_cast<uint32_t>(item.length)} << 32 | static_cast<uint32_t>(item.width);
      if (key == 0) {
        distinct += zero ? 0 : 1;
        zero = true;
        continue;
      }
      std::size_t at = static_cast<std::size_t>((key * 0x9e3779b97f4a7c15u) >> shift);
      while (slots_[at] != 0 && slots_[at] != key) at = (at + 1) & (capacity - 1);
      if (slots_[at] == 0) {
        slots_[at] = key;
        ++distinct;
      }
    }
    return distinct;
  }

 private:
  std::vector<uint64_t> slots_;
};

// An instance's lengths, widths and areas, each as keys: positive in any
// file the readers accept.
struct item_keys {
  std::vector<uint64_t> lengths, widths, areas;

  void of(std::span<const rectangle> items) {
    lengths.clear();
    widths.clear();
    areas.clear();
    for (const rectangle& item : items) {
      lengths.push_back(static_cast<uint32_t>(item.length));
      widths.push_back(static_cast<uint32_t>(item.width));
      areas.push_back(static_cast<uint32_t>(item.area));
    }
  }
};

// The smallest and the largest of a measure.
struct range {
  int64_t min = std::numeric_limits<int64_t>::max();
  int64_t max = std::numeric_limits<int64_t>::min();

  void add(int64_t v) {
    min = std::min(min, v);
    max = std::max(max, v);
  }
  void add(const range& other) {
    min = std::min(min, other.min);
    max = std::max(max, other.max);
  }
};

// What the first pass finds in one set (or a whole single run): merged in
// the sets' order, so that the figures are the same however many sets are
// read at once. Every sum is exact; the standard deviation's running
// figures (Welford's, merged as Chan et al. merge them) are the one
// floating-point step, and their order is the sets'. The keys go to the
// reading thread's own selectors, merged once at the end: exact ranks do
// not depend on which thread counted which key.
struct part {
  wide_sum items, totals, distinct, defects, defect_area, covered;
  range length, width, area;
  int64_t instances = 0;
  int64_t item_count = 0;
  double mean_total = 0, squares = 0;

  void add(const part& other) {
    for (auto [to, from] : {std::pair{&items, &other.items},
                            {&totals, &other.totals},
                            {&distinct, &other.distinct},
                            {&defects, &other.defects},
                            {&defect_area, &other.defect_area},
                            {&covered, &other.covered}}) {
      to->add(*from);
    }
    length.add(other.length);
    width.add(other.width);
    area.add(other.area);
    item_count += other.item_count;
    if (other.instances == 0) return;
    const double n_a = static_cast<double>(instances), n_b = static_cast<double>(other.instances);
    const double n = n_a + n_b;
    const double delta = other.mean_total - mean_total;
    mean_total += delta * (n_b / n);
    squares += other.squares + delta * delta * (n_a * n_b / n);
    instances += other.instances;
  }
};

// Reads instances into a part: what one thread needs for it.
class part_reader {
 public:
  part_reader(int64_t length, int64_t width) : length_(length), width_(width) {}

  rank_selector lengths, widths, areas;  // the keys of every set this thread read

  void add(part& p, const instance& in) {
    ++p.instances;
    keys_.of(in.items);
    lengths.add(keys_.lengths);
    widths.add(keys_.widths);
    areas.add(keys_.areas);
    int64_t total = 0;
    for (const rectangle& item : in.items) {
      total += item.area;
      p.length.add(item.length);
      p.width.add(item.width);
      p.area.add(item.area);
    }
    const auto n = static_cast<int64_t>(in.items.size());
    p.items.add(n);
    p.totals.add(total);
    p.item_count += n;
    p.distinct.add(pairs_.count(in.items));
    // Welford's running mean and sum of squared deviations of the total
    // item area: exact sums of squares would need 256 bits.
    const double delta = static_cast<double>(total) - p.mean_total;
    p.mean_total += delta / static_cast<double>(p.instances);
    p.squares += delta * (static_cast<double>(total) - p.mean_total);

    clipped_.clear();
    int64_t defect_area = 0;
    for (const placed_defect& d : in.defects) {
      const placed_defect c{std::max(d.x1, 0), std::max(d.y1, 0),
                            static_cast<int32_t>(std::min<int64_t>(d.x2, length_)),
                            static_cast<int32_t>(std::min<int64_t>(d.y2, width_))};
      if (c.x2 > c.x1 && c.y2 > c.y1) defect_area += int64_t{c.x2 - c.x1} * (c.y2 - c.y1);
      clipped_.push_back(c);
    }
    p.defects.add(static_cast<int64_t>(in.defects.size()));
    p.defect_area.add(defect_area);
    p.covered.add(union_area_(clipped_));
  }

  // A later pass: the keys of an instance to the selectors' shares.
  void add(std::array<rank_selector::share, 3>& shares, const instance& in) {
    keys_.of(in.items);
    shares[0].add(keys_.lengths);
    shares[1].add(keys_.widths);
    shares[2].add(keys_.areas);
  }

 private:
  int64_t length_, width_;
  item_keys keys_;
  distinct_pairs pairs_;
  std::vector<placed_defect> clipped_;
  union_area_calculator union_area_;
};

// Sets a thread takes in a round: starting a thread costs about as much as
// reading a small set.
constexpr std::size_t sets_per_thread = 64;

// Runs work(k, slot) for k = 0 .. count - 1 on up to `jobs` threads, in
// rounds of up to sets_per_thread consecutive k per thread (slot: which thread, whose
// own state work may use), and then done(k) for each k of a round in
// order on this thread. A thread that cannot be started does its work here.
void in_rounds(std::size_t count, unsigned jobs,
               const std::function<void(std::size_t, unsigned)>& work,
               const std::function<void(std::size_t)>& done) {
  for (std::size_t start = 0; start < count;) {
    const std::size_t end = std::min(count, start + sets_per_thread * jobs);
    const std::size_t each = (end - start + jobs - 1) / jobs;
    std::vector<std::exception_ptr> failed(jobs);
    const auto run = [&](unsigned slot) {
      const std::size_t from = start + slot * each, to = std::min(end, from + each);
      try {
        for (std::size_t k = from; k < to; ++k) work(k, slot);
      } catch (...) {
        failed[slot] = std::current_exception();
      }
    };
    std::vector<std::thread> threads;
    for (unsigned slot = 1; slot < jobs && start + slot * each < end; ++slot) {
      try {
        threads.emplace_back(run, slot);
      } catch (const std::system_error&) {
        run(slot);
      }
    }
    run(0);
    for (std::thread& t : threads) t.join();
    // The first failure in the sets' order, as one thread would meet it.
    for (const std::exception_ptr& e : failed) {
      if (e) std::rethrow_exception(e);
    }
    if (done) {
      for (std::size_t k = start; k < end; ++k) done(k);
    }
    start = end;
  }
}

// The i-th chosen rank's key: a length, width or area.
int64_t value(const rank_selector& s, std::size_t i) { return static_cast<int64_t>(s.value(i)); }

}  // namespace

void compute_figures(table_row& row, const instance_pass& pass) {
  compute_figures(row, std::span(&pass, 1), 1);
}

void compute_figures(table_row& row, std::span<const instance_pass> sets, unsigned jobs,
                     const set_visit& seen, const std::function<void(std::size_t)>& set_done) {
  // No more threads than sets; the figures do not depend on it.
  jobs = static_cast<unsigned>(std::clamp<std::size_t>(sets.size(), 1, std::max(jobs, 1u)));
  const int64_t length = row.length, width = row.width;
  // A round's parts, by the set's place in its round.
  std::vector<part> parts(sets_per_thread * jobs);
  part all;
  std::vector<part_reader> readers;
  for (unsigned j = 0; j < jobs; ++j) readers.emplace_back(length, width);
  in_rounds(
      sets.size(), jobs,
      [&](std::size_t k, unsigned slot) {
        part& p = parts[k % parts.size()];
        p = part();
        sets[k]([&](const instance& in) {
          if (seen) seen(k, in);
          readers[slot].add(p, in);
        });
      },
      [&](std::size_t k) {
        all.add(parts[k % parts.size()]);
        if (set_done) set_done(k);
      });
  rank_selector lengths, widths, areas;
  for (part_reader& r : readers) {
    lengths.merge(std::move(r.lengths));
    widths.merge(std::move(r.widths));
    areas.merge(std::move(r.areas));
  }

  // Exact quantiles at 0-based ranks floor(p (n - 1)): a later pass over
  // the sets when the first could not settle them, each slot with its own
  // shares of the count.
  rank_selector* selectors[3] = {&lengths, &widths, &areas};
  const std::vector<std::vector<std::pair<uint64_t, uint64_t>>> quantiles = {
      {{1, 2}}, {{1, 2}}, {{1, 4}, {1, 2}, {3, 4}}};
  if (all.item_count > 0) {
    const auto n = static_cast<uint64_t>(all.item_count);
    for (int i = 0; i < 3; ++i) {
      std::vector<uint64_t> ranks;
      for (const auto& [num, den] : quantiles[static_cast<std::size_t>(i)])
        ranks.push_back((n - 1) * num / den);
      selectors[i]->choose(ranks);
    }
    while (lengths.needs_pass() || widths.needs_pass() || areas.needs_pass()) {
      std::vector<std::array<rank_selector::share, 3>> shares;
      for (unsigned j = 0; j < jobs; ++j) {
        shares.push_back({lengths.start_pass(), widths.start_pass(), areas.start_pass()});
      }
      in_rounds(sets.size(), jobs,
                [&](std::size_t k, unsigned slot) {
                  sets[k]([&](const instance& in) { readers[slot].add(shares[slot], in); });
                },
                {});
      for (int i = 0; i < 3; ++i) {
        if (!selectors[i]->needs_pass()) continue;
        std::vector<rank_selector::share> mine;
        for (auto& s : shares) mine.push_back(std::move(s[static_cast<std::size_t>(i)]));
        selectors[i]->end_pass(mine);
      }
    }
  }

  row.instances = all.instances;
  row.items = all.item_count;
  if (row.items > 0) {
    row.item_length = {.min = all.length.min, .median = value(lengths, 0), .max = all.length.max};
    row.item_width = {.min = all.width.min, .median = value(widths, 0), .max = all.width.max};
    row.item_area = {.min = all.area.min,
                     .q1 = value(areas, 0),
                     .median = value(areas, 1),
                     .q3 = value(areas, 2),
                     .max = all.area.max};
  }
  if (row.instances == 0) return;
  const double object_area = static_cast<double>(length) * static_cast<double>(width);
  const int64_t n = row.instances;
  row.item_types = all.items.mean(n);
  row.distinct_mean = all.distinct.mean(n);
  row.defects = all.defects.mean(n);
  row.total_area_mean = all.totals.mean(n) / object_area;
  row.total_area_sd = std::sqrt(all.squares / static_cast<double>(n)) / object_area;
  row.defect_area_mean = all.defect_area.mean(n) / object_area;
  row.covered_mean = all.covered.mean(n) / object_area;
}

paper_table run_table(const run_info& run, const instance_pass& pass) {
  table_row row;
  row.name = run.instance_file;
  row.sets = 1;
  row.length = run.object.length;
  row.width = run.object.width;
  if (run.answers) {
    row.lower = shortest_text(run.answers->minrelsize);
    row.upper = shortest_text(run.answers->maxrelsize);
  }
  compute_figures(row, pass);
  return {false, {std::move(row)}};
}

}  // namespace sheetkit
