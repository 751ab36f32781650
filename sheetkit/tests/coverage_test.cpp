#include "coverage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace sheetkit {
namespace {

using rects = std::vector<placed_defect>;

TEST(UnionArea, OverlapsAndNestingCountOnce) {
  // 4x4 at the origin, a 4x4 overlapping it in a 2x2 corner, a 1x1 nested
  // in the first, and a 2x1 far away: 16 + 16 - 4 + 0 + 2 = 30.
  const rects r = {{0, 0, 4, 4}, {2, 2, 6, 6}, {1, 1, 2, 2}, {10, 10, 12, 11}};
  EXPECT_EQ(union_area(r), 30);
  // A cross: two 1x5 bars sharing their middle cell, 5 + 5 - 1.
  EXPECT_EQ(union_area(rects{{2, 0, 3, 5}, {0, 2, 5, 3}}), 9);
  // Rectangles that only touch along an edge share no area.
  EXPECT_EQ(union_area(rects{{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 4, 3}}), 12);
}

TEST(UnionArea, DisjointIdenticalEmptyAndDegenerate) {
  EXPECT_EQ(union_area(rects{}), 0);
  EXPECT_EQ(union_area(rects{{7, 0, 10, 2}, {0, 6, 10, 7}}), 16);  // the worked example
  EXPECT_EQ(union_area(rects(50, {3, 4, 8, 6})), 10);
  // Zero width or height, or corners the wrong way round, cover nothing.
  EXPECT_EQ(union_area(rects{{5, 5, 5, 9}, {1, 3, 8, 3}, {9, 9, 2, 2}}), 0);
  EXPECT_EQ(union_area(rects{{5, 5, 5, 9}, {0, 0, 1, 1}}), 1);
}

TEST(UnionArea, LargestCoordinatesNeedSixtyFourBits) {
  constexpr int32_t big = INT32_MAX;
  EXPECT_EQ(union_area(rects{{0, 0, big, big}}), int64_t{big} * big);
  // The full object plus defects inside it: the object alone.
  EXPECT_EQ(union_area(rects{{0, 0, 46340, 46341}, {0, 0, 5, 5}, {46000, 46000, 46340, 46341}}),
            int64_t{46340} * 46341);
  // Two huge overlapping ones; the sums on the way exceed 2^62.
  EXPECT_EQ(union_area(rects{{0, 0, big, 2}, {0, 1, big, big}}), int64_t{big} * big);
  // Coordinates on both sides of zero.
  EXPECT_EQ(union_area(rects{{-5, -5, 5, 5}, {0, 0, 10, 10}}), 175);
}

// Counts unit cells, the obvious way.
int64_t grid_area(const rects& r, int size) {
  int64_t cells = 0;
  for (int x = 0; x < size; ++x) {
    for (int y = 0; y < size; ++y) {
      for (const placed_defect& d : r) {
        if (d.x1 <= x && x < d.x2 && d.y1 <= y && y < d.y2) {
          ++cells;
          break;
        }
      }
    }
  }
  return cells;
}

// The cells of the grid that all distinct coordinates make, each painted
// through a 2D difference array and counted once: another way to the same
// area, fast enough for hundreds of rectangles on any coordinates.
int64_t compressed_grid_area(const rects& r) {
  std::vector<int64_t> xs, ys;
  for (const placed_defect& d : r) {
    if (d.x1 >= d.x2 || d.y1 >= d.y2) continue;
    xs.insert(xs.end(), {d.x1, d.x2});
    ys.insert(ys.end(), {d.y1, d.y2});
  }
  for (auto* v : {&xs, &ys}) {
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
  }
  const auto at = [](const std::vector<int64_t>& v, int64_t c) {
    return static_cast<std::size_t>(std::lower_bound(v.begin(), v.end(), c) - v.begin());
  };
  const std::size_t nx = xs.size() + 1, ny = ys.size() + 1;
  std::vector<int32_t> diff(nx * ny, 0);
  for (const placed_defect& d : r) {
    if (d.x1 >= d.x2 || d.y1 >= d.y2) continue;
    const std::size_t x1 = at(xs, d.x1), x2 = at(xs, d.x2), y1 = at(ys, d.y1), y2 = at(ys, d.y2);
    ++diff[x1 * ny + y1];
    --diff[x2 * ny + y1];
    --diff[x1 * ny + y2];
    ++diff[x2 * ny + y2];
  }
  int64_t area = 0;
  for (std::size_t i = 0; i + 1 < nx; ++i) {
    for (std::size_t j = 0; j + 1 < ny; ++j) {
      int32_t& c = diff[i * ny + j];
      if (i > 0) c += diff[(i - 1) * ny + j];
      if (j > 0) c += diff[i * ny + j - 1];
      if (i > 0 && j > 0) c -= diff[(i - 1) * ny + j - 1];
      if (c > 0) area += (xs[i + 1] - xs[i]) * (ys[j + 1] - ys[j]);
    }
  }
  return area;
}

TEST(UnionArea, AgreesWithCountingCells) {
  std::mt19937 random(7);
  union_area_calculator calculator;  // reused, as a run does
  for (int trial = 0; trial < 400; ++trial) {
    const int size = 1 + static_cast<int>(random() % 24);
    const int n = static_cast<int>(random() % 40);
    rects r;
    for (int i = 0; i < n; ++i) {
      std::uniform_int_distribution<int32_t> coordinate(0, size);
      // Some degenerate or reversed on purpose.
      r.push_back({coordinate(random), coordinate(random), coordinate(random), coordinate(random)});
    }
    ASSERT_EQ(calculator(r), grid_area(r, size)) << "trial " << trial;
    ASSERT_EQ(compressed_grid_area(r), grid_area(r, size)) << "trial " << trial;
  }
  // Many rectangles, so that updates run over many blocks, of every
  // height from one interval to all of them; up to the largest coordinates.
  for (int trial = 0; trial < 40; ++trial) {
    const int32_t size = trial % 4 == 0 ? INT32_MAX : 1 + static_cast<int32_t>(random() % 100000);
    const int n = 1 + static_cast<int>(random() % 600);
    rects r;
    for (int i = 0; i < n; ++i) {
      std::uniform_int_distribution<int32_t> coordinate(0, size);
      std::uniform_int_distribution<int32_t> extent(
          0, size / (1 + static_cast<int32_t>(random() % 50)));
      const int32_t x = coordinate(random), y = coordinate(random);
      r.push_back({x, y, static_cast<int32_t>(std::min<int64_t>(int64_t{x} + extent(random), size)),
                   static_cast<int32_t>(std::min<int64_t>(int64_t{y} + extent(random), size))});
    }
    ASSERT_EQ(calculator(r), compressed_grid_area(r)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace sheetkit
