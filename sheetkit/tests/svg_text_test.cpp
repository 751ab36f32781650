#include "pictures/svg_text.h"

#include <gtest/gtest.h>

namespace sheetkit::svg {
namespace {

// Numbers in captions and on scales: integers as integers, never an exponent,
// and an abbreviation only where it is exact.
TEST(SvgTextTest, NumbersReadAsTheyAre) {
  EXPECT_EQ(decimal(1000), "1000");
  EXPECT_EQ(decimal(123456.7), "123457");
  EXPECT_EQ(decimal(0.00245), "0.00245");
  EXPECT_EQ(decimal(2.5), "2.5");
  EXPECT_EQ(decimal(9.9996), "10");
  EXPECT_EQ(decimal(-0.0001), "-0.0001");
  EXPECT_EQ(percent(0.37), "37%");
  EXPECT_EQ(percent(1000), "100000%");
  EXPECT_EQ(percent(0.0013), "0.13%");
  EXPECT_EQ(count_label(20000), "20k");
  EXPECT_EQ(count_label(1500000), "1.5M");
  EXPECT_EQ(count_label(123400), "123.4k");
  EXPECT_EQ(count_label(123450), "123450");
  EXPECT_EQ(count_label(1234500), "1234500");
  // An axis speaks one unit: the largest's, where all are exact in it.
  EXPECT_EQ(count_labels({0, 3000, 6000, 9000, 12000}),
            (std::vector<std::string>{"0", "3k", "6k", "9k", "12k"}));
  EXPECT_EQ(count_labels({0, 500000, 1000000, 1500000}),
            (std::vector<std::string>{"0", "0.5M", "1M", "1.5M"}));
  EXPECT_EQ(count_labels({0, 5, 10}), (std::vector<std::string>{"0", "5", "10"}));
  EXPECT_EQ(count_labels({9950, 10050}), (std::vector<std::string>{"9950", "10050"}));
  EXPECT_EQ(count_label(9999), "9999");
}

// Turned text stands left of its anchor and runs upwards from it.
TEST(SvgTextTest, TextBoxesFollowAnchorAndTurn) {
  const box across = text_box({100, 50}, "abcd", 10, anchor::end);
  EXPECT_DOUBLE_EQ(across.x + across.w, 100);
  EXPECT_DOUBLE_EQ(across.y, 42);
  const box up = text_box({100, 50}, "abcd", 10, anchor::start, true);
  EXPECT_DOUBLE_EQ(up.x + up.w, 102.5);
  EXPECT_DOUBLE_EQ(up.y + up.h, 50);
  EXPECT_DOUBLE_EQ(up.h, across.w);  // turned: the text's length runs upwards
}

}  // namespace
}  // namespace sheetkit::svg
