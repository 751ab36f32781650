#include "files/text.h"

#include <gtest/gtest.h>

namespace sheetkit {
namespace {

// Scripts read bounds and figures back as the same number, in the shorter
// of the two forms; to_chars with chars_format::general would follow %g
// and write 1e+02 for 100 and 0.0001 where 1e-04 is shorter. People get no
// exponent.
TEST(TextTest, ShortestTextReadsBackInItsShorterForm) {
  EXPECT_EQ(shortest_text(0.1f), "0.1");
  EXPECT_EQ(shortest_text(0.0001f), "1e-04");
  EXPECT_EQ(shortest_text(100.0f), "100");
  EXPECT_EQ(shortest_text(0.605), "0.605");
  EXPECT_EQ(shortest_text(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(shortest_text(100.0), "100");
  EXPECT_EQ(shortest_fixed(0.15f), "0.15");
  EXPECT_EQ(shortest_fixed(0.00001f), "0.00001");
}

// A time is never shown as nothing but zeros.
TEST(TextTest, SecondsKeepTwoSignificantDigits) {
  EXPECT_EQ(seconds_text(12.3456), "12.346");
  EXPECT_EQ(seconds_text(0.14), "0.140");
  EXPECT_EQ(seconds_text(0.00014), "0.00014");
  EXPECT_EQ(seconds_text(0.0099), "0.0099");
  EXPECT_EQ(seconds_text(0), "0.000");
}

}  // namespace
}  // namespace sheetkit
