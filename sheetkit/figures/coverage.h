// The area covered by a set of axis-parallel rectangles, each point counted
// once however many rectangles cover it: how much of an object its defects
// take away.
#ifndef SHEETKIT_COVERAGE_H_
#define SHEETKIT_COVERAGE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "files/instance.h"

namespace sheetkit {

// Sweeps along x, keeping how much of y is covered: a cover count per
// elementary y interval (between consecutive distinct y coordinates),
// grouped in blocks that also take counts for the whole block. Adding or
// removing a rectangle goes through its two end blocks interval by interval
// and over the blocks in between as wholes: about sqrt(n) steps for n
// rectangles, in loops of a fixed length that compilers vectorise, without a
// branch that depends on the data. For the up to 1000 defects of an
// instance that is 1.4 to 2 times as fast as a binary segment tree, whose
// branches mispredict at each of its eleven levels, and as fast as a 16-way
// tree of such blocks.
//
// Holds its working memory between calls: keep one for a whole run rather
// than one per instance.
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

  // Per elementary interval, padded with empty ones to whole blocks. All
  // lengths and sums of them are below 2^32 for int32 coordinates.
  std::vector<int32_t> count_;
  std::vector<uint32_t> length_;
  // Per block: rectangles covering all of it, its length, and how much of
  // it its intervals' own counts cover.
  std::vector<int32_t> block_count_;
  std::vector<uint32_t> block_length_;
  std::vector<uint32_t> block_covered_;
  int block_shift_ = 0;   // intervals per block: 2^block_shift_
  uint32_t covered_ = 0;  // of all of y, by the rectangles now crossed

  void prepare_blocks();
  void update(uint32_t low, uint32_t high, int32_t delta);
  void update_intervals(uint32_t block, uint32_t low, uint32_t high, int32_t delta);
  void update_blocks(uint32_t low, uint32_t high, int32_t delta);
};

// The same for a single call; a calculator is faster for many.
int64_t union_area(std::span<const placed_defect> rectangles);

}  // namespace sheetkit

#endif  // SHEETKIT_COVERAGE_H_
