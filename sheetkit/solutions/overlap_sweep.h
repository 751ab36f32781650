// Which placed items overlap each other or a defect, counted by one sweep
// along x in O(n log n) for n rectangles however many pairs overlap, never
// by comparing all pairs: a million items are checked in a fraction of a
// second.
#ifndef SHEETKIT_OVERLAP_SWEEP_H_
#define SHEETKIT_OVERLAP_SWEEP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace sheetkit {

/// A rectangle from (x1, y1) to (x2, y2); one with x2 <= x1 or y2 <= y1
/// has no interior and overlaps nothing.
struct sweep_box {
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

/// Whether the interiors of `a` and `b` meet (touching edges do not).
constexpr bool interiors_meet(const sweep_box& a, const sweep_box& b) {
  return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2 && a.x1 < a.x2 && a.y1 < a.y2 &&
         b.x1 < b.x2 && b.y1 < b.y2;
}

/// How many pairs overlap.
struct overlap_counts {
  int64_t item_pairs = 0;    ///< pairs of items
  int64_t defect_pairs = 0;  ///< pairs of an item and a defect (defects among themselves are fine)
};

/// Counts every overlapping pair exactly; while `want()` says so, also
/// names them to `found(item, other, other_is_defect)` (indices into
/// `items`, and into `items` or `defects`), each pair once, in sweep order.
/// Naming costs a pass over the rectangles for each rectangle that meets
/// others while `want()` holds (meant for the first few); counting costs
/// O(log n) per rectangle.
/// The coordinates may be any 64-bit integers. `poll`, when set, is called
/// every few thousand steps and may throw to abandon the sweep.
overlap_counts find_overlaps(
    std::span<const sweep_box> items, std::span<const sweep_box> defects,
    const std::function<bool()>& want,
    const std::function<void(std::size_t item, std::size_t other, bool other_is_defect)>& found,
    const std::function<void()>& poll = {});

}  // namespace sheetkit

#endif  // SHEETKIT_OVERLAP_SWEEP_H_
