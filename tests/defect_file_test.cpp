// Reading the defect file back. It shares its line reader with the
// instance file, whose tests go through the number forms and read the
// stored runs back; these hold the four-number lines and the block limit.
#include <gtest/gtest.h>
#include <sheetgen/defect_file.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::line;

std::vector<std::vector<placed_defect>> read_all(const std::string& text) {
  return testing::read_blocks<defect_reader, placed_defect>(text, "d.txt");
}

std::string error_of(const std::string& text) {
  return testing::read_error<defect_reader, placed_defect>(text, "d.txt");
}

const std::string good = line({7, 0, 10, 2});

TEST(DefectReader, RefusesWhatTheWriterNeverWrites) {
  const struct {
    std::string text, message;
  } cases[] = {
      {line({7, 0, 10}) + "\n",  // an instance file's line
       "d.txt:1: expected 4 numbers separated by tabs, found 3: "
       "\"7.000000\\t0.000000\\t10.000000\""},
      {good + line({7, 0, 10, 2, 1}) + "\n",
       "d.txt:2: expected 4 numbers separated by tabs, found 5: "
       "\"7.000000\\t0.000000\\t10.000000\\t2.000000\\t1.0\"..."},
      {"7.000000\t0.000000\t10.000000\t-2.000000\n\n", "d.txt:1: negative number: \"-2.000000\""},
      {"7.000000\t0.000000\t10.000000\t2.000000 \n\n",
       "d.txt:1: space in the line (numbers are separated by tabs): "
       "\"7.000000\\t0.000000\\t10.000000\\t2.000000 \""},
      {"\n" + good + "7.000000\t0.000000\t10.000000\t2.0000",
       "d.txt:3: file ends in the middle of a line: cut short?"},
      {"\n" + good,
       "d.txt:3: file ends inside the block that starts on line 2: its empty line is "
       "missing (cut short?)"},
  };
  for (const auto& c : cases) EXPECT_EQ(error_of(c.text), c.message) << c.text;
}

TEST(DefectReader, ReadsCornersInOrderWithEitherLineEnd) {
  const std::string text =
      good + "0.000000\t6.000000\t2147483647.000000\t7.000000\r\n\r\n\n" + good + "\n";
  const std::vector<std::vector<placed_defect>> expected = {
      {{7, 0, 10, 2}, {0, 6, 2147483647, 7}}, {}, {{7, 0, 10, 2}}};
  EXPECT_EQ(read_all(text), expected);
}

TEST(DefectReader, BoundsTheLinesOfABlock) {
  std::string block;
  for (int i = 0; i < MAXDEF; ++i) block += good;
  EXPECT_EQ(read_all(block + "\n").size(), 1u);
  EXPECT_EQ(error_of(block + good + "\n"),
            "d.txt:1001: block has more than 1000 defect lines (it starts on line 1)");
}

}  // namespace
}  // namespace sheetgen
