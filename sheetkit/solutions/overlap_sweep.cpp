#include "solutions/overlap_sweep.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "figures/radix_sort.h"
#include "solutions/large_buffer.h"
#include "solutions/poll_every.h"

namespace sheetkit {

namespace {

// Counts of active rectangles by the index of one of their y coordinates.
class fenwick {
 public:
  explicit fenwick(std::size_t n) : tree_(n + 1, 0) {}
  void add(std::size_t i, int64_t delta) {
    for (++i; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Entries at indices 0 to i.
  int64_t upto(std::size_t i) const {
    int64_t sum = 0;
    for (++i; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<int64_t> tree_;
};

// The rectangles of a sweep: the items, then the defects, as one list.
struct sweep_rectangles {
  std::span<const sweep_box> items, defects;
  const std::function<void()>& poll;
  std::size_t n = items.size();
  std::size_t total = n + defects.size();

  const sweep_box& box(std::size_t k) const { return k < n ? items[k] : defects[k - n]; }
  static bool solid(const sweep_box& b) { return b.x1 < b.x2 && b.y1 < b.y2; }
  void check_in() const {
    if (poll) poll();
  }
};

// Each rectangle's y edges as indices among the distinct y coordinates
// (ys), and the events in sweep order: by x, an end before a start at the
// same x, so that rectangles that only touch are never active together.
struct sweep_order {
  explicit sweep_order(std::size_t total) : low(total), high(total) {}
  std::vector<uint32_t> low, high;
  std::vector<uint64_t> order;  // rectangle << 1 | start, in sweep order
  std::size_t distinct_ys = 0;
};

// Where every coordinate fits 31 bits and every index too (any real
// placement), both orders come from a radix sort of keys coordinate <<
// 32 | the rest: several times as fast as comparison sorts.
bool fits_radix_keys(const sweep_rectangles& in) {
  bool small = in.total < (std::size_t{1} << 31);
  for (std::size_t k = 0; k < in.total && small; ++k) {
    const sweep_box& b = in.box(k);
    constexpr int64_t limit = int64_t{1} << 31;
    small = !in.solid(b) || (b.x1 >= 0 && b.y1 >= 0 && b.x2 < limit && b.y2 < limit);
  }
  return small;
}

sweep_order radix_order(const sweep_rectangles& in) {
  sweep_order o(in.total);
  const std::size_t total = in.total;
  std::vector<uint64_t> keys, scratch;
  keys.reserve(2 * total);
  scratch.reserve(2 * total);
  prefer_huge_pages(keys);
  prefer_huge_pages(scratch);
  // y << 32 | rectangle << 1 | top edge; the ranks of distinct ys.
  for (std::size_t k = 0; k < total; ++k) {
    const sweep_box& b = in.box(k);
    if (!in.solid(b)) continue;
    keys.push_back(static_cast<uint64_t>(b.y1) << 32 | uint64_t{k} << 1);
    keys.push_back(static_cast<uint64_t>(b.y2) << 32 | uint64_t{k} << 1 | 1);
  }
  in.check_in();
  sort_by_high_half(keys, scratch);
  in.check_in();
  uint64_t last = keys.empty() ? 0 : keys[0] >> 32;
  uint32_t rank = 0;
  for (const uint64_t key : keys) {
    rank += (key >> 32) != last ? 1 : 0;
    last = key >> 32;
    const auto k = static_cast<std::size_t>(key >> 1 & 0x7fffffff);
    (key & 1 ? o.high : o.low)[k] = rank;
  }
  o.distinct_ys = keys.empty() ? 0 : std::size_t{rank} + 1;
  // x << 32 | start << 31 | rectangle: ends first, then starts, each in
  // rectangle order, which a stable sort by x keeps, as a sort of the
  // whole keys would order them.
  keys.clear();
  for (std::size_t k = 0; k < total; ++k)
    if (in.solid(in.box(k))) keys.push_back(static_cast<uint64_t>(in.box(k).x2) << 32 | k);
  for (std::size_t k = 0; k < total; ++k)
    if (in.solid(in.box(k)))
      keys.push_back(static_cast<uint64_t>(in.box(k).x1) << 32 | uint64_t{1} << 31 | k);
  in.check_in();
  sort_by_high_half(keys, scratch);
  in.check_in();
  for (uint64_t& key : keys) key = (key & 0x7fffffff) << 1 | (key >> 31 & 1);
  o.order = std::move(keys);
  return o;
}

sweep_order comparison_order(const sweep_rectangles& in) {
  sweep_order o(in.total);
  const std::size_t total = in.total;
  std::vector<int64_t> ys;
  ys.reserve(2 * total);
  for (std::size_t k = 0; k < total; ++k) {
    const sweep_box& b = in.box(k);
    if (!in.solid(b)) continue;
    ys.push_back(b.y1);
    ys.push_back(b.y2);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  o.distinct_ys = ys.size();
  const auto y_index = [&](int64_t y) {
    return static_cast<uint32_t>(std::lower_bound(ys.begin(), ys.end(), y) - ys.begin());
  };
  struct event {
    int64_t x;
    uint64_t code;
  };
  std::vector<event> events;
  events.reserve(2 * total);
  for (std::size_t k = 0; k < total; ++k) {
    const sweep_box& b = in.box(k);
    if (!in.solid(b)) continue;
    o.low[k] = y_index(b.y1);
    o.high[k] = y_index(b.y2);
    events.push_back({b.x1, uint64_t{k} << 1 | 1});
    events.push_back({b.x2, uint64_t{k} << 1});
  }
  in.check_in();
  std::sort(events.begin(), events.end(), [](const event& a, const event& b) {
    return a.x != b.x ? a.x < b.x : (a.code & 1) < (b.code & 1);
  });
  in.check_in();
  o.order.reserve(2 * total);
  for (const event& e : events) o.order.push_back(e.code);
  return o;
}

}  // namespace

overlap_counts find_overlaps(std::span<const sweep_box> items, std::span<const sweep_box> defects,
                             const std::function<bool()>& want,
                             const std::function<void(std::size_t, std::size_t, bool)>& found,
                             const std::function<void()>& poll) {
  poll_every step(poll);
  const sweep_rectangles in{items, defects, poll};
  const std::size_t n = in.n;
  const std::size_t total = in.total;
  const auto box = [&](std::size_t k) -> const sweep_box& { return in.box(k); };
  sweep_order sorted = fits_radix_keys(in) ? radix_order(in) : comparison_order(in);
  const std::vector<uint32_t>& low = sorted.low;
  const std::vector<uint32_t>& high = sorted.high;
  const std::size_t distinct_ys = sorted.distinct_ys;
  const std::vector<uint64_t>& order = sorted.order;

  // Per kind (0 items, 1 defects): active rectangles by their y2's index
  // and by their y1's, and how many.
  std::array<fenwick, 2> by_top{fenwick(distinct_ys), fenwick(distinct_ys)};
  std::array<fenwick, 2> by_bottom{fenwick(distinct_ys), fenwick(distinct_ys)};
  std::array<int64_t, 2> active_count{0, 0};
  // Each rectangle's place among the starts: the active rectangles whose
  // interiors meet k's are those that meet it and started before it.
  constexpr uint32_t not_started = UINT32_MAX;
  std::vector<uint32_t> started(total, not_started);

  // Active rectangles of `kind` whose interiors meet k's: all of them but
  // those wholly below it (y2 <= its y1) and wholly above (y1 >= its y2),
  // which cannot both hold for one rectangle.
  const auto meeting = [&](std::size_t kind, std::size_t k) {
    const int64_t below = by_top[kind].upto(low[k]);
    const int64_t above =
        active_count[kind] - (high[k] == 0 ? 0 : by_bottom[kind].upto(high[k] - 1));
    return active_count[kind] - below - above;
  };
  // Naming scans every rectangle of `kind`: only for the first few pairs,
  // so a pass each costs no more than the sweep.
  const auto name = [&](std::size_t kind, std::size_t k) {
    const std::size_t from = kind == 0 ? 0 : n, to = kind == 0 ? n : total;
    for (std::size_t j = from; j < to; ++j) {
      step();
      if (!want()) return;
      if (started[j] >= started[k] || !interiors_meet(box(k), box(j))) continue;
      if (k < n) {
        if (kind == 0) {
          found(std::min(j, k), std::max(j, k), false);
        } else {
          found(k, j - n, true);
        }
      } else {
        found(j, k - n, true);
      }
    }
  };

  overlap_counts counts;
  uint32_t starts = 0;
  for (const uint64_t code : order) {
    step();
    const std::size_t k = static_cast<std::size_t>(code >> 1);
    const std::size_t kind = k < n ? 0 : 1;
    if ((code & 1) == 0) {
      by_top[kind].add(high[k], -1);
      by_bottom[kind].add(low[k], -1);
      --active_count[kind];
      continue;
    }
    started[k] = starts++;
    if (kind == 0) {
      const int64_t items_met = meeting(0, k);
      const int64_t defects_met = meeting(1, k);
      counts.item_pairs += items_met;
      counts.defect_pairs += defects_met;
      if (items_met > 0 && want()) name(0, k);
      if (defects_met > 0 && want()) name(1, k);
    } else {
      const int64_t items_met = meeting(0, k);
      counts.defect_pairs += items_met;
      if (items_met > 0 && want()) name(0, k);
    }
    by_top[kind].add(high[k], 1);
    by_bottom[kind].add(low[k], 1);
    ++active_count[kind];
  }
  return counts;
}

}  // namespace sheetkit
