#include "figures/coverage.h"

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

TEST(UnionArea, AgreesWithCountingCells) {
  std::mt19937 random(7);
  union_area_calculator calculator;  // reused, as a run does
  for (int trial = 0; trial < 430; ++trial) {
    // Mostly few rectangles on a small grid; now and then many narrow ones,
    // whose y ranges run over many blocks of intervals without covering
    // everything.
    const bool large = trial % 15 == 0;
    const int size = 1 + static_cast<int>(random() % (large ? 120 : 24));
    const int n = static_cast<int>(random() % (large ? 150 : 40));
    std::uniform_int_distribution<int32_t> coordinate(0, size);
    rects r;
    for (int i = 0; i < n; ++i) {
      // Some degenerate or reversed on purpose.
      const int32_t x = coordinate(random);
      const int32_t x2 =
          large ? std::min(size, x + static_cast<int32_t>(random() % 4)) : coordinate(random);
      r.push_back({x, coordinate(random), x2, coordinate(random)});
    }
    ASSERT_EQ(calculator(r), grid_area(r, size)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace sheetkit
