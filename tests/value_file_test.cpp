#include <gtest/gtest.h>
#include <sheetgen/families.h>
#include <sheetgen/value_file.h>

#include <sstream>
#include <string>
#include <vector>

namespace sheetgen {
namespace {

std::vector<std::vector<item_value>> read_all(const std::string& text) {
  std::istringstream in(text);
  value_reader reader(in, "v.txt");
  std::vector<std::vector<item_value>> blocks;
  std::vector<item_value> block;
  while (reader.next(block)) blocks.push_back(block);
  return blocks;
}

std::string refusal(const std::string& text) {
  try {
    read_all(text);
  } catch (const error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ValueFile, WrittenAndReadBack) {
  std::string text;
  const std::vector<int64_t> values = {6, 0, int64_t{1} << 62};
  const std::vector<int64_t> copies = {1, unlimited_copies, 12};
  append_value_block(values, copies, text);
  append_value_block(std::vector<int64_t>{5}, std::vector<int64_t>{3}, text);
  EXPECT_EQ(text, "6\t1\n0\tunlimited\n4611686018427387904\t12\n\n5\t3\n\n");
  const auto blocks = read_all(text);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], (std::vector<item_value>{{6, 1}, {0, -1}, {int64_t{1} << 62, 12}}));
  EXPECT_EQ(blocks[1], (std::vector<item_value>{{5, 3}}));
  // CR LF line by line, as the other readers take it.
  EXPECT_EQ(read_all("6\t1\r\n\r\n5\t3\n\n").size(), 2u);
  EXPECT_TRUE(read_all("").empty());
}

TEST(ValueFile, AnythingElseIsRefusedByLine) {
  EXPECT_EQ(refusal("6\t1\n"), "v.txt:2: the block has no empty line after it (cut short?)");
  EXPECT_EQ(refusal("6\t1\n\n5\t3"), "v.txt:3: the line has no line break (cut short?)");
  EXPECT_EQ(refusal("6 1\n\n"), "v.txt:1: expected \"VALUE<tab>COPIES\", not \"6 1\"");
  EXPECT_EQ(refusal("6\t1\t2\n\n"), "v.txt:1: expected \"VALUE<tab>COPIES\", not \"6\t1\t2\"");
  EXPECT_EQ(
      refusal("\n06\t1\n\n"),
      "v.txt:2: the value \"06\" is not a whole number from 0 to 2^62 as the writer writes it");
  EXPECT_EQ(
      refusal("-6\t1\n\n"),
      "v.txt:1: the value \"-6\" is not a whole number from 0 to 2^62 as the writer writes it");
  EXPECT_EQ(refusal("4611686018427387905\t1\n\n"),
            "v.txt:1: the value \"4611686018427387905\" is not a whole number from 0 to 2^62 as "
            "the writer writes it");
  EXPECT_EQ(refusal("6\t0\n\n"),
            "v.txt:1: the copies \"0\" are neither a positive whole number nor unlimited");
  EXPECT_EQ(refusal("6\tUnlimited\n\n"),
            "v.txt:1: the copies \"Unlimited\" are neither a positive whole number nor unlimited");
  EXPECT_EQ(refusal("6\t1\r\r\n\n"),
            "v.txt:1: the copies \"1\r\" are neither a positive whole number nor unlimited");
}

}  // namespace
}  // namespace sheetgen
