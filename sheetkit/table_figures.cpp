#include "table_figures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "coverage.h"
#include "rank_selection.h"

namespace sheetkit {

namespace {

// A sum of many 64-bit integers that cannot overflow (a class may hold 2e10
// instances of defect areas near 2e12): 128-bit two's complement.
class exact_sum {
 public:
  void add(int64_t v) {
    const uint64_t before = low_;
    low_ += static_cast<uint64_t>(v);
    high_ += (v < 0 ? -1 : 0) + (low_ < before ? 1 : 0);
  }
  double mean(int64_t n) const {
    return (std::ldexp(static_cast<double>(high_), 64) + static_cast<double>(low_)) /
           static_cast<double>(n);
  }

 private:
  uint64_t low_ = 0;
  int64_t high_ = 0;
};

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

const std::vector<quantile> median_only = {{1, 2}};
const std::vector<quantile> quartiles = {{1, 4}, {1, 2}, {3, 4}};

// Lengths, widths and areas of the items are positive in any file the
// readers accept; a negative one would sort last, as a large key.
uint32_t key(int32_t v) { return static_cast<uint32_t>(v); }

}  // namespace

void compute_figures(table_row& row, const instance_pass& pass) {
  const int64_t length = row.length, width = row.width;
  const double object_area = static_cast<double>(length) * static_cast<double>(width);
  rank_selection lengths(median_only), widths(median_only), areas(quartiles);
  exact_sum items, totals, distinct, defects, defect_area, covered;
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
    for (const rectangle& item : in.items) {
      lengths.add(key(item.length));
      widths.add(key(item.width));
      areas.add(key(item.area));
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
  lengths.end_pass();
  widths.end_pass();
  areas.end_pass();
  if (!lengths.done() || !widths.done() || !areas.done()) {
    pass([&](const instance& in) {
      for (const rectangle& item : in.items) {
        lengths.add(key(item.length));
        widths.add(key(item.width));
        areas.add(key(item.area));
      }
    });
    lengths.end_pass();
    widths.end_pass();
    areas.end_pass();
  }

  if (row.items > 0) {
    row.item_length.median = static_cast<int32_t>(lengths.value(0));
    row.item_width.median = static_cast<int32_t>(widths.value(0));
    row.item_area.q1 = static_cast<int32_t>(areas.value(0));
    row.item_area.median = static_cast<int32_t>(areas.value(1));
    row.item_area.q3 = static_cast<int32_t>(areas.value(2));
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
