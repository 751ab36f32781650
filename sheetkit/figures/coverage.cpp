#include "figures/coverage.h"

#include <array>

#include "figures/radix_sort.h"

namespace sheetkit {

namespace {

// An int32 coordinate as an unsigned key in the same order.
uint64_t coordinate_key(int32_t c) { return uint64_t{static_cast<uint32_t>(c) ^ 0x80000000u}; }

int64_t key_coordinate(uint64_t key) {
  return static_cast<int64_t>(key >> 32) - int64_t{0x80000000};
}

// All ones when `condition` holds, else 0: the loops below select with
// masks, which compilers vectorise, where a conditional would stay a branch.
uint32_t mask(bool condition) { return 0u - static_cast<uint32_t>(condition); }

}  // namespace

int64_t union_area_calculator::operator()(std::span<const placed_defect> rectangles) {
  rects_.clear();
  for (const placed_defect& r : rectangles) {
    if (r.x1 < r.x2 && r.y1 < r.y2) rects_.push_back(r);
  }
  if (rects_.empty()) return 0;
  const auto n = static_cast<uint32_t>(rects_.size());

  // Number the distinct y coordinates; each rectangle spans a run of the
  // elementary intervals between them.
  keys_.clear();
  for (uint32_t i = 0; i < n; ++i) {
    keys_.push_back(coordinate_key(rects_[i].y1) << 32 | uint64_t{i} << 1);
    keys_.push_back(coordinate_key(rects_[i].y2) << 32 | uint64_t{i} << 1 | 1);
  }
  sort_by_high_half(keys_, sort_scratch_);
  // Without branches: which edge comes next is anybody's guess.
  y_index_.resize(2 * std::size_t{n});
  y_values_.resize(2 * std::size_t{n});
  std::size_t distinct = 0;
  int64_t last = key_coordinate(keys_[0]);
  y_values_[0] = last;
  for (const uint64_t k : keys_) {
    const int64_t y = key_coordinate(k);
    distinct += y != last;
    y_values_[distinct] = y;
    last = y;
    y_index_[static_cast<uint32_t>(k)] = static_cast<uint32_t>(distinct);
  }
  y_values_.resize(distinct + 1);
  prepare_blocks();

  // Sweep the x edges in order; between two of them the covered y length
  // is constant.
  keys_.clear();
  for (uint32_t i = 0; i < n; ++i) {
    keys_.push_back(coordinate_key(rects_[i].x1) << 32 | uint64_t{i} << 1);
    keys_.push_back(coordinate_key(rects_[i].x2) << 32 | uint64_t{i} << 1 | 1);
  }
  sort_by_high_half(keys_, sort_scratch_);
  // Unsigned: every partial sum is part of the union's area, which is below
  // 2^64 for any int32 coordinates, so nothing wraps.
  uint64_t area = 0;
  int64_t previous_x = key_coordinate(keys_[0]);
  for (const uint64_t k : keys_) {
    const int64_t x = key_coordinate(k);
    area += uint64_t{covered_} * static_cast<uint64_t>(x - previous_x);
    previous_x = x;
    const auto rect = static_cast<uint32_t>(k) >> 1;
    update(y_index_[2 * rect], y_index_[2 * rect + 1], 1 - 2 * static_cast<int32_t>(k & 1));
  }
  return static_cast<int64_t>(area);
}

void union_area_calculator::prepare_blocks() {
  const std::size_t intervals = y_values_.size() - 1;  // at least 1
  // Blocks of about sqrt(intervals / 8) intervals, at least 16: an update
  // goes through its two end blocks whole, and through the blocks between
  // at a fraction of an interval's cost each. Measured best for a thousand
  // defects, too.
  block_shift_ = 4;
  while ((std::size_t{1} << (2 * block_shift_)) < intervals / 8) ++block_shift_;
  const std::size_t block_size = std::size_t{1} << block_shift_;
  const std::size_t blocks = (intervals + block_size - 1) >> block_shift_;
  count_.assign(blocks << block_shift_, 0);
  length_.assign(blocks << block_shift_, 0);
  for (std::size_t i = 0; i < intervals; ++i) {
    length_[i] = static_cast<uint32_t>(y_values_[i + 1] - y_values_[i]);
  }
  block_count_.assign(blocks, 0);
  block_covered_.assign(blocks, 0);
  block_length_.assign(blocks, 0);
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::size_t i = b << block_shift_; i < (b + 1) << block_shift_; ++i) {
      block_length_[b] += length_[i];
    }
  }
  covered_ = 0;
}

// Adds `delta` (1 or -1) to the cover of the elementary intervals
// [low, high). The two end blocks are always done interval by interval, even
// when the range covers them whole, and the blocks between as wholes: so a
// removal takes exactly the steps of the addition it undoes.
void union_area_calculator::update(uint32_t low, uint32_t high, int32_t delta) {
  const uint32_t first = low >> block_shift_;
  const uint32_t last = (high - 1) >> block_shift_;
  if (first == last) return update_intervals(first, low, high, delta);
  update_intervals(first, low, (first + 1) << block_shift_, delta);
  update_intervals(last, last << block_shift_, high, delta);
  update_blocks(first + 1, last, delta);
}

void union_area_calculator::update_intervals(uint32_t block, uint32_t low, uint32_t high,
                                             int32_t delta) {
  // An interval's cover changes where its count is 0 before an addition or
  // after a removal, that is, where count + (0 or -1) is 0. The loop runs
  // over the whole block with the range as a mask: a fixed number of steps,
  // where a loop over just the range would end at a different step each
  // time, and mispredicting that end costs more than the extra steps.
  const int32_t removing = delta >> 1;  // 0 or -1
  const std::size_t start = std::size_t{block} << block_shift_;
  int32_t* const count = count_.data() + start;
  const uint32_t* const length = length_.data() + start;
  const uint32_t size = uint32_t{1} << block_shift_;
  const auto from = static_cast<uint32_t>(low - start);
  const auto to = static_cast<uint32_t>(high - start);
  uint32_t changed = 0;
  for (uint32_t i = 0; i < size; ++i) {
    const uint32_t inside = mask(i >= from) & mask(i < to);
    const int32_t c = count[i];
    changed += length[i] & inside & mask(c + removing == 0);
    count[i] = c + static_cast<int32_t>(static_cast<uint32_t>(delta) & inside);
  }
  // Negated on removal; lengths are added modulo 2^32, and every true sum
  // fits.
  const auto sign = static_cast<uint32_t>(removing);
  const uint32_t change = (changed ^ sign) - sign;
  block_covered_[block] += change;
  covered_ += change & mask(block_count_[block] == 0);
}

void union_area_calculator::update_blocks(uint32_t low, uint32_t high, int32_t delta) {
  int32_t* const count = block_count_.data();
  const uint32_t* const length = block_length_.data();
  const uint32_t* const covered = block_covered_.data();
  uint32_t before = 0;
  uint32_t after = 0;
  for (uint32_t b = low; b < high; ++b) {
    const int32_t c = count[b];
    const uint32_t was_whole = mask(c > 0);
    const uint32_t is_whole = mask(c + delta > 0);
    before += (length[b] & was_whole) | (covered[b] & ~was_whole);
    after += (length[b] & is_whole) | (covered[b] & ~is_whole);
    count[b] = c + delta;
  }
  covered_ += after - before;
}

int64_t union_area(std::span<const placed_defect> rectangles) {
  union_area_calculator calculator;
  return calculator(rectangles);
}

}  // namespace sheetkit
