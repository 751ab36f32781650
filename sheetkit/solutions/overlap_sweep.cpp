#include "solutions/overlap_sweep.h"

#include <algorithm>
#include <array>
#include <vector>

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

}  // namespace

overlap_counts find_overlaps(
    std::span<const sweep_box> items, std::span<const sweep_box> defects,
    const std::function<bool()>& want,
    const std::function<void(std::size_t, std::size_t, bool)>& found) {
  const std::size_t n = items.size();
  const std::size_t total = n + defects.size();
  const auto box = [&](std::size_t k) -> const sweep_box& {
    return k < n ? items[k] : defects[k - n];
  };
  const auto solid = [](const sweep_box& b) { return b.x1 < b.x2 && b.y1 < b.y2; };

  std::vector<int64_t> ys;
  ys.reserve(2 * total);
  for (std::size_t k = 0; k < total; ++k) {
    const sweep_box& b = box(k);
    if (!solid(b)) continue;
    ys.push_back(b.y1);
    ys.push_back(b.y2);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  const auto y_index = [&](int64_t y) {
    return static_cast<std::size_t>(std::lower_bound(ys.begin(), ys.end(), y) - ys.begin());
  };

  // An end sorts before a start at the same x: rectangles that only touch
  // are never active together.
  struct event {
    int64_t x;
    uint64_t code;  // rectangle << 1 | start
  };
  std::vector<event> events;
  events.reserve(2 * total);
  std::vector<uint32_t> low(total), high(total);
  for (std::size_t k = 0; k < total; ++k) {
    const sweep_box& b = box(k);
    if (!solid(b)) continue;
    low[k] = static_cast<uint32_t>(y_index(b.y1));
    high[k] = static_cast<uint32_t>(y_index(b.y2));
    events.push_back({b.x1, uint64_t{k} << 1 | 1});
    events.push_back({b.x2, uint64_t{k} << 1});
  }
  std::sort(events.begin(), events.end(), [](const event& a, const event& b) {
    return a.x != b.x ? a.x < b.x : (a.code & 1) < (b.code & 1);
  });

  // Per kind (0 items, 1 defects): active rectangles by their y2's index
  // and by their y1's, how many, and which (for naming pairs).
  std::array<fenwick, 2> by_top{fenwick(ys.size()), fenwick(ys.size())};
  std::array<fenwick, 2> by_bottom{fenwick(ys.size()), fenwick(ys.size())};
  std::array<int64_t, 2> active_count{0, 0};
  std::array<std::vector<uint32_t>, 2> active;
  std::vector<uint32_t> slot(total);

  // Active rectangles of `kind` whose interiors meet k's: all of them but
  // those wholly below it (y2 <= its y1) and wholly above (y1 >= its y2),
  // which cannot both hold for one rectangle.
  const auto meeting = [&](std::size_t kind, std::size_t k) {
    const int64_t below = by_top[kind].upto(low[k]);
    const int64_t above =
        active_count[kind] - (high[k] == 0 ? 0 : by_bottom[kind].upto(high[k] - 1));
    return active_count[kind] - below - above;
  };
  const auto name = [&](std::size_t kind, std::size_t k) {
    for (const uint32_t j : active[kind]) {
      if (!want()) return;
      if (!interiors_meet(box(k), box(j))) continue;
      if (k < n) {
        if (kind == 0) {
          found(std::min<std::size_t>(j, k), std::max<std::size_t>(j, k), false);
        } else {
          found(k, j - n, true);
        }
      } else {
        found(j, k - n, true);
      }
    }
  };

  overlap_counts counts;
  for (const event& e : events) {
    const std::size_t k = static_cast<std::size_t>(e.code >> 1);
    const std::size_t kind = k < n ? 0 : 1;
    if ((e.code & 1) == 0) {
      by_top[kind].add(high[k], -1);
      by_bottom[kind].add(low[k], -1);
      --active_count[kind];
      std::vector<uint32_t>& list = active[kind];
      const uint32_t moved = list.back();
      list[slot[k]] = moved;
      slot[moved] = slot[k];
      list.pop_back();
      continue;
    }
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
    slot[k] = static_cast<uint32_t>(active[kind].size());
    active[kind].push_back(static_cast<uint32_t>(k));
  }
  return counts;
}

}  // namespace sheetkit
