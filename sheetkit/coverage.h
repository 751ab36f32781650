// The area covered by a set of axis-parallel rectangles, each point counted
// once however many rectangles cover it: how much of an object its defects
// take away.
#ifndef SHEETKIT_COVERAGE_H_
#define SHEETKIT_COVERAGE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "instance.h"

namespace sheetkit {

// Sweeps along x over a segment tree on the distinct y coordinates, so that
// n rectangles cost O(n log n). Holds its working memory between calls:
// keep one for a whole run rather than one per instance.
//
// A rectangle with x2 <= x1 or y2 <= y1 covers nothing. The result is exact
// for any int32 coordinates whose union area is below 2^63, which holds for
// every set of non-negative coordinates.
class union_area_calculator {
 public:
  int64_t operator()(std::span<const placed_defect> rectangles);

 private:
  std::vector<placed_defect> rects_;  // the non-degenerate ones
  std::vector<uint64_t> keys_;        // coordinate << 32 | rectangle index << 1 | which edge
  std::vector<uint64_t> sort_scratch_;
  // Per edge (rectangle index << 1 | which edge): the index of its y among
  // the distinct ones. A rectangle covers the elementary intervals from its
  // low edge's index up to, not including, its high edge's.
  std::vector<uint32_t> y_index_;
  std::vector<int64_t> y_values_;  // the distinct y coordinates, ascending
  // A segment tree node: how many rectangles cover its whole y range, that
  // range's length, and how much of it is covered. Lengths are below 2^32
  // for int32 coordinates; 12-byte nodes keep a thousand rectangles' tree
  // in the first-level cache.
  struct node {
    int32_t count;
    uint32_t full;
    uint32_t covered;
  };
  // Leaves at [leaves_, 2 leaves_), and below them a zero level that lets
  // a leaf be recomputed like any other node.
  std::vector<node> tree_;
  std::size_t leaves_ = 0;  // a power of two

  void build_tree();
  void update(uint32_t low, uint32_t high, int32_t delta);
  void recompute(std::size_t i) {
    node& n = tree_[i];
    n.covered = pick(n, tree_[2 * i].covered + tree_[2 * i + 1].covered);
  }
  // Recomputes the parent of `i`, given the new value of `i`, and returns it.
  uint32_t lift(std::size_t i, uint32_t value) {
    node& parent = tree_[i >> 1];
    return parent.covered = pick(parent, value + tree_[i ^ 1].covered);
  }
  // What a node covers, given what its children cover. By masks: counts
  // change unpredictably, and compilers turn the plain conditional into a
  // branch that misses half the time.
  static uint32_t pick(const node& n, uint32_t below) {
    const uint32_t whole = 0u - static_cast<uint32_t>(n.count > 0);
    return (n.full & whole) | (below & ~whole);
  }
};

// The same for a single call; a calculator is faster for many.
int64_t union_area(std::span<const placed_defect> rectangles);

}  // namespace sheetkit

#endif  // SHEETKIT_COVERAGE_H_
