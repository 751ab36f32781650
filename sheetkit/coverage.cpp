#include "coverage.h"

#include <array>

namespace sheetkit {

namespace {

// An int32 coordinate as an unsigned key in the same order.
uint64_t coordinate_key(int32_t c) { return uint64_t{static_cast<uint32_t>(c) ^ 0x80000000u}; }

int64_t key_coordinate(uint64_t key) {
  return static_cast<int64_t>(key >> 32) - int64_t{0x80000000};
}

// Sorts by the high 32 bits, a byte at a time, skipping the bytes that all
// keys share (most do on real objects). A thousand defects make only a
// couple of thousand keys per call, where a comparison sort would spend
// most of the sweep's time.
void sort_by_high_half(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch) {
  const std::size_t n = keys.size();
  std::array<std::array<uint32_t, 256>, 4> counts{};
  for (const uint64_t k : keys) {
    ++counts[0][(k >> 32) & 0xff];
    ++counts[1][(k >> 40) & 0xff];
    ++counts[2][(k >> 48) & 0xff];
    ++counts[3][k >> 56];
  }
  scratch.resize(n);
  for (int digit = 0; digit < 4; ++digit) {
    auto& count = counts[digit];
    const int shift = 32 + 8 * digit;
    if (count[(keys[0] >> shift) & 0xff] == n) continue;
    uint32_t sum = 0;
    for (auto& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (const uint64_t k : keys) scratch[count[(k >> shift) & 0xff]++] = k;
    keys.swap(scratch);
  }
}

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
  build_tree();

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
    area += uint64_t{tree_[1].covered} * static_cast<uint64_t>(x - previous_x);
    previous_x = x;
    const auto rect = static_cast<uint32_t>(k) >> 1;
    update(y_index_[2 * rect], y_index_[2 * rect + 1], 1 - 2 * static_cast<int32_t>(k & 1));
  }
  return static_cast<int64_t>(area);
}

void union_area_calculator::build_tree() {
  const std::size_t intervals = y_values_.size() - 1;  // at least 1
  leaves_ = 1;
  while (leaves_ < intervals) leaves_ *= 2;
  tree_.assign(4 * leaves_, node{0, 0, 0});
  for (std::size_t i = 0; i < intervals; ++i) {
    tree_[leaves_ + i].full = static_cast<uint32_t>(y_values_[i + 1] - y_values_[i]);
  }
  for (std::size_t i = leaves_ - 1; i >= 1; --i) {
    tree_[i].full = tree_[2 * i].full + tree_[2 * i + 1].full;
  }
}

// Adds `delta` to the cover count of the elementary intervals [low, high).
// A removal always undoes an earlier addition of the same range, which
// meets the same nodes, so counts never need pushing down.
void union_area_calculator::update(uint32_t low, uint32_t high, int32_t delta) {
  // The usual bottom-up cover of [low, high), without branches: which end
  // nodes a level contributes depends on the range, so branches on it miss
  // all the time. A node that does not contribute gets 0 added and is
  // recomputed; that is harmless, as it lies inside the range and none of
  // its descendants has changed.
  std::size_t l = low + leaves_;
  std::size_t r = high + leaves_;
  while (l < r) {
    const std::size_t take_l = l & 1;
    const std::size_t take_r = r & 1;
    tree_[l].count += delta * static_cast<int32_t>(take_l);
    recompute(l);
    tree_[r - 1].count += delta * static_cast<int32_t>(take_r);
    recompute(r - 1);
    l = (l + take_l) >> 1;
    r = (r - take_r) >> 1;
  }
  // Every changed node hangs off the paths from the two end leaves to the
  // root. Walk both up level by level (they run at the same depth) until
  // they meet, then the shared part. The value just computed stays in a
  // register for the next level: a chain through memory would wait on
  // every store.
  std::size_t a = low + leaves_;
  std::size_t b = high - 1 + leaves_;
  uint32_t va = tree_[a].covered;
  uint32_t vb = tree_[b].covered;
  while ((a >> 1) != (b >> 1)) {
    va = lift(a, va);
    vb = lift(b, vb);
    a >>= 1;
    b >>= 1;
  }
  if (a != b) {  // siblings: their parent needs both new values
    a >>= 1;
    node& n = tree_[a];
    va = n.covered = pick(n, va + vb);
  }
  for (; a > 1; a >>= 1) va = lift(a, va);
}

int64_t union_area(std::span<const placed_defect> rectangles) {
  union_area_calculator calculator;
  return calculator(rectangles);
}

}  // namespace sheetkit
