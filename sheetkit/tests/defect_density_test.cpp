#include "pictures/defect_density.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace sheetkit {
namespace {

// Against counting unit squares one by one, on grids whose cells differ in
// size, with defects on cell edges, across many cells, inside one, empty,
// and reaching out of the object.
TEST(DefectDensityTest, MatchesUnitByUnitCount) {
  std::mt19937 random(7);
  auto below = [&](int64_t n) { return std::uniform_int_distribution<int64_t>(0, n - 1)(random); };
  for (int round = 0; round < 300; ++round) {
    const int64_t length = 1 + below(40), width = 1 + below(30);
    defect_density grid(length, width, 1 + below(length), 1 + below(width));
    std::vector<int64_t> units(static_cast<std::size_t>(length * width));
    for (int k = below(12); k >= 0; --k) {
      const auto x1 = static_cast<int32_t>(below(length + 4) - 2),
                 y1 = static_cast<int32_t>(below(width + 4) - 2);
      const auto x2 = static_cast<int32_t>(x1 + below(length + 2)),
                 y2 = static_cast<int32_t>(y1 + below(width + 2));
      grid.add({x1, y1, x2, y2});
      for (int64_t y = std::max<int64_t>(y1, 0); y < std::min<int64_t>(y2, width); ++y)
        for (int64_t x = std::max<int64_t>(x1, 0); x < std::min<int64_t>(x2, length); ++x)
          ++units[static_cast<std::size_t>(y * length + x)];
    }
    const std::vector<int64_t> covered = grid.covered();
    for (int64_t j = 0; j < grid.rows(); ++j)
      for (int64_t i = 0; i < grid.columns(); ++i) {
        int64_t expected = 0;
        for (int64_t y = grid.row_edge(j); y < grid.row_edge(j + 1); ++y)
          for (int64_t x = grid.column_edge(i); x < grid.column_edge(i + 1); ++x)
            expected += units[static_cast<std::size_t>(y * length + x)];
        ASSERT_EQ(covered[static_cast<std::size_t>(j * grid.columns() + i)], expected)
            << "round " << round << ", cell " << i << ", " << j;
      }
  }
}

// The largest run on the largest object: 20000 x 1000 defects over all of it
// give sums near 2^55, which stay exact.
TEST(DefectDensityTest, LargeCoordinatesStayExact) {
  const int64_t length = 2147483647, width = 1;
  defect_density grid(length, width, 133, 1);
  for (int k = 0; k < 20000 * 1000; ++k) grid.add({0, 0, 2147483647, 1});
  grid.add({2147483646, 0, 2147483647, 1});
  const std::vector<int64_t> covered = grid.covered();
  int64_t total = 0;
  for (int64_t i = 0; i < 133; ++i) {
    const int64_t cell = grid.column_edge(i + 1) - grid.column_edge(i);
    EXPECT_EQ(covered[static_cast<std::size_t>(i)], 20000000 * cell + (i == 132 ? 1 : 0));
    total += covered[static_cast<std::size_t>(i)];
  }
  EXPECT_EQ(total, 20000000 * length + 1);
}

}  // namespace
}  // namespace sheetkit
