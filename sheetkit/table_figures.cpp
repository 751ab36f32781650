#include "table_figures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "coverage.h"
#include "rank_selector.h"
#include "wide_sum.h"

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
      const uint64_t key = uint64_t{static_cast<uint32_t>(item.length)} << 32 |
                           static_cast<uint32_t>(item.width);
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

// The values at quantiles p (at 0-based rank floor(p (n - 1))) of the keys
// that each pass gives, exact: two passes at most for 32-bit keys.
class exact_quantiles {
 public:
  // Each quantile as numerator / denominator.
  explicit exact_quantiles(std::vector<std::pair<uint64_t, uint64_t>> quantiles)
      : quantiles_(std::move(quantiles)) {}

  void add(std::span<const uint64_t> keys) {
    if (share_) {
      share_->add(keys);
    } else if (!chosen_) {
      selector_.add(keys);
      count_ += keys.size();
    }
  }

  // Ends a pass; true when the keys are needed once more.
  bool end_pass() {
    if (share_) {
      selector_.end_pass(std::span(&*share_, 1));
      share_.reset();
    } else if (chosen_) {
      return false;  // settled already, while another selector was not
    } else if (count_ > 0) {
      std::vector<uint64_t> ranks;
      for (const auto& [num, den] : quantiles_) ranks.push_back((count_ - 1) * num / den);
      selector_.choose(ranks);
    }
    chosen_ = true;
    if (!selector_.needs_pass()) return false;
    share_.emplace(selector_.start_pass());
    return true;
  }

  // The i-th quantile's value, once a pass ended without asking for another.
  int32_t value(std::size_t i) const { return static_cast<int32_t>(selector_.value(i)); }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> quantiles_;
  rank_selector selector_;
  std::optional<rank_selector::share> share_;  // during a later pass
  bool chosen_ = false;                         // the first pass has ended
  uint64_t count_ = 0;                          // keys in the first pass
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

}  // namespace

void compute_figures(table_row& row, const instance_pass& pass) {
  const int64_t length = row.length, width = row.width;
  const double object_area = static_cast<double>(length) * static_cast<double>(width);
  exact_quantiles lengths({{1, 2}}), widths({{1, 2}}), areas({{1, 4}, {1, 2}, {3, 4}});
  item_keys keys;
  wide_sum items, totals, distinct, defects, defect_area, covered;
  // Welford's running mean and sum of squared deviations of the total
  // item area, for its standard deviation: exact sums of squares would
  // need 256 bits.
  double mean_total = 0, squares = 0;
  bool first = true;
  distinct_pairs pairs;
  std::vector<placed_defect> clipped;
  union_area_calculator union_area;
  row.instances = 0;
  row.items = 0;

  pass([&](const instance& in) {
    ++row.instances;
    int64_t total = 0;
    keys.of(in.items);
    lengths.add(keys.lengths);
    widths.add(keys.widths);
    areas.add(keys.areas);
    for (const rectangle& item : in.items) {
      total += item.area;
      if (first) {
        row.item_length.min = row.item_length.max = item.length;
        row.item_width.min = row.item_width.max = item.width;
        row.item_area.min = row.item_area.max = item.area;
        first = false;
      }
      row.item_length.min = std::min<int64_t>(row.item_length.min, item.length);
      row.item_length.max = std::max<int64_t>(row.item_length.max, item.length);
      row.item_width.min = std::min<int64_t>(row.item_width.min, item.width);
      row.item_width.max = std::max<int64_t>(row.item_width.max, item.width);
      row.item_area.min = std::min<int64_t>(row.item_area.min, item.area);
      row.item_area.max = std::max<int64_t>(row.item_area.max, item.area);
    }
    const auto n = static_cast<int64_t>(in.items.size());
    items.add(n);
    totals.add(total);
    row.items += n;
    distinct.add(pairs.count(in.items));
    const double delta = static_cast<double>(total) - mean_total;
    mean_total += delta / static_cast<double>(row.instances);
    squares += delta * (static_cast<double>(total) - mean_total);

    clipped.clear();
    int64_t area = 0;
    for (const placed_defect& d : in.defects) {
      const placed_defect c{std::max(d.x1, 0), std::max(d.y1, 0),
                            static_cast<int32_t>(std::min<int64_t>(d.x2, length)),
                            static_cast<int32_t>(std::min<int64_t>(d.y2, width))};
      if (c.x2 > c.x1 && c.y2 > c.y1) area += int64_t{c.x2 - c.x1} * (c.y2 - c.y1);
      clipped.push_back(c);
    }
    defects.add(static_cast<int64_t>(in.defects.size()));
    defect_area.add(area);
    covered.add(union_area(clipped));
  });
  // Each selector asks for another pass or not, the same for all: ask each.
  for (bool again = lengths.end_pass() | widths.end_pass() | areas.end_pass(); again;
       again = lengths.end_pass() | widths.end_pass() | areas.end_pass()) {
    pass([&](const instance& in) {
      keys.of(in.items);
      lengths.add(keys.lengths);
      widths.add(keys.widths);
      areas.add(keys.areas);
    });
  }

  if (row.items > 0) {
    row.item_length.median = lengths.value(0);
    row.item_width.median = widths.value(0);
    row.item_area.q1 = areas.value(0);
    row.item_area.median = areas.value(1);
    row.item_area.q3 = areas.value(2);
  }
  if (row.instances == 0) return;
  const int64_t n = row.instances;
  row.item_types = items.mean(n);
  row.distinct_mean = distinct.mean(n);
  row.defects = defects.mean(n);
  row.total_area_mean = totals.mean(n) / object_area;
  row.total_area_sd = std::sqrt(squares / static_cast<double>(n)) / object_area;
  row.defect_area_mean = defect_area.mean(n) / object_area;
  row.covered_mean = covered.mean(n) / object_area;
}

}  // namespace sheetkit
