#include "text/text.h"

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

TEST(TextTest, TableCellsAreWholeQuotedAndPaddedByCharacters) {
  // Whole at any magnitude: a figure of 1e300 is not cut at a buffer's end.
  EXPECT_EQ(fixed_text(1e300, 2).size(), 301u + 3u);
  EXPECT_EQ(fixed_text(-0.125, 2), "-0.12");  // printf's rounding, to even here
  EXPECT_EQ(percent_text(0.525891), "52.589%");
  EXPECT_EQ(csv_field("plain"), "plain");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("say \"hi\"\n"), "\"say \"\"hi\"\"\n\"");
  // Columns line up in a terminal: "café" is four characters, five bytes.
  EXPECT_EQ(padded("caf\xc3\xa9", 6, true), "caf\xc3\xa9  ");
  EXPECT_EQ(padded("ab", 4, false), "  ab");
  EXPECT_EQ(padded("toolong", 3, false), "toolong");
}

}  // namespace
}  // namespace sheetkit
