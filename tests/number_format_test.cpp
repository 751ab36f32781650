#include "number_format.h"

#include <gtest/gtest.h>
#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

namespace sheetgen {
namespace {

TEST(NumberFormat, AsPrintfPrintsThem) {
  const int32_t numbers[] = {
      0,          7,         10,         999,
      1000,       9999,      10000,      16777217,
      99999999,   100000000, 999999999,  1000000000,
      2147483647, -1,        -123456789, std::numeric_limits<int32_t>::min()};
  for (int32_t n : numbers) {
    char out[number_format::max_chars + 1];
    const char* end = number_format::put_number(out, n);
    EXPECT_EQ(*end, '\t') << n;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%f", static_cast<double>(n));
    EXPECT_EQ(std::string(static_cast<const char*>(out), end), expected);
  }
}

TEST(NumberFormat, BlocksStayWithinTheirRoom) {
  // The widest numbers, in a buffer with guard bytes after the promised room.
  const int32_t wide = std::numeric_limits<int32_t>::min();
  const rectangle one = {.area = wide, .length = wide, .width = wide};
  const rectangle items[2] = {one, one};
  const placed_defect defects[2] = {{wide, wide, wide, wide}, {wide, wide, wide, wide}};
  char buffer[2 * defect_line_room + 1 + 16];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  const char* end = put_item_block(items, buffer);
  EXPECT_EQ(buffer[2 * item_line_room + 1], '#');
  EXPECT_EQ(std::string(static_cast<const char*>(buffer), end),
            "-2147483648.000000\t-2147483648.000000\t-2147483648.000000\n"
            "-2147483648.000000\t-2147483648.000000\t-2147483648.000000\n\n");
  end = put_defect_block(defects, buffer);
  EXPECT_EQ(buffer[2 * defect_line_room + 1], '#');
  EXPECT_EQ(end - buffer, 2 * (4 * 19) + 1);
  EXPECT_EQ(put_item_block({}, buffer), buffer + 1);
}

}  // namespace
}  // namespace sheetgen
