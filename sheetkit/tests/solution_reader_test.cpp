#include "solutions/solution_reader.h"

#include <gtest/gtest.h>
#include <sheetgen/types.h>

#include <sstream>

#include "solver_certificates.h"

namespace sheetkit {
namespace {

std::string refusal(const std::string& text) {
  try {
    std::istringstream in(text);
    solution_reader reader(in, "s.csv");
    solution s;
    while (reader.next(s)) {
    }
  } catch (const sheetgen::error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(SolutionReader, ReadsTheSolverCertificates) {
  const auto rect = read_solution(testing::solver_data("export/instance_1/rectangle_solution.csv"));
  ASSERT_EQ(rect.size(), 1u);
  EXPECT_EQ(rect[0].format, solution_format::rectangle);
  EXPECT_EQ(rect[0].items.size(), 25u);
  EXPECT_EQ(rect[0].defects.size(), 3u);
  EXPECT_EQ(rect[0].items[1].y, 837);
  EXPECT_EQ(rect[0].items[1].line, 7);
  const auto tree =
      read_solution(testing::solver_data("export/instance_1/rectangleguillotine_solution.csv"));
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].format, solution_format::guillotine);
  EXPECT_EQ(tree[0].nodes.size(), 89u);
  EXPECT_EQ(tree[0].items.size(), 25u);  // the root's TYPE 0 is its bin type, no item
  EXPECT_EQ(tree[0].defects.size(), 3u);
}

TEST(SolutionReader, AcceptsAByteOrderMarkAndCrLfAndStreamsARunInstanceByInstance) {
  std::istringstream in(
      "\xEF\xBB\xBFinstance,item_type,x,y,rotated\r\n1,0,0,0,0\r\n1,2,5,0,1\r\n3,1,0,0,0\r\n");
  solution_reader reader(in, "run.csv");
  solution s;
  ASSERT_TRUE(reader.next(s));
  EXPECT_EQ(s.instance, 1);
  ASSERT_EQ(s.items.size(), 2u);
  EXPECT_TRUE(s.items[1].rotated);
  ASSERT_TRUE(reader.next(s));
  EXPECT_EQ(s.instance, 3);
  EXPECT_EQ(s.items.size(), 1u);
  EXPECT_EQ(s.items[0].line, 4);
  EXPECT_FALSE(reader.next(s));
}

TEST(SolutionReader, RefusesBadInputWithFileAndLine) {
  const std::string rect = std::string(rectangle_header) + "\n";
  const std::string tree = std::string(guillotine_header) + "\n";
  const std::string ours = std::string(placements_header) + "\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "s.csv:1: the file is empty"},
      {"TYPE,ID\n", "s.csv:1: header \"TYPE,ID\" is none of"},
      {rect + "ITEM,0,1,0,0,0,5,5\n", "s.csv:2: 8 fields where 9 are"},
      {rect + "ITEM,0,1,0,0,0,5,5,0,1\n", "s.csv:2: 10 fields where 9 are"},
      {rect + "ITEM,0,1,0,x,0,5,5,0\n", "s.csv:2: X \"x\" is not an integer"},
      {rect + "ITEM,0,1,0,99999999999999999999,0,5,5,0\n",
       "s.csv:2: X 99999999999999999999 is past 64 bits"},
      {rect + "ITEM,0,1,0,0,0,0,5,0\n", "s.csv:2: LX 0 is not positive"},
      {rect + "ITEM,0,1,0,0,0,5,-5,0\n", "s.csv:2: LY -5 is not positive"},
      {rect + "ITEM,-1,1,0,0,0,5,5,0\n", "s.csv:2: ID -1 is negative"},
      {rect + "PIECE,0,1,0,0,0,5,5,0\n", "s.csv:2: TYPE \"PIECE\" is none of BIN, DEFECT, ITEM"},
      {rect + "ITEM,0,1,0,0,0,5,5,0", "s.csv:2: the last line has no line end"},
      {rect + "ITEM,0,1,0,0,0,5,5,0\n\n", "s.csv:3: 1 field where 9 are"},
      {rect + std::string(2000, '1') + "\n", "s.csv:2: line longer than 1024 characters"},
      {tree + "0,1,0,0,0,10,10,-2,0,\n0,1,0,0,0,5,10,-1,1,0\n",
       "s.csv:3: node 0 again (first on line 2)"},
      {tree + "0,1,0,0,0,10,10,-2,0,\n0,1,1,0,0,5,10,-1,1,7\n",
       "s.csv:3: parent 7 of node 1 is no node of the file"},
      {tree + "0,1,1,0,0,10,10,-2,1,2\n0,1,2,0,0,5,10,-2,1,1\n",
       "s.csv:2: node 1 is its own ancestor: the tree has a cycle"},
      {tree + "0,1,0,0,0,10,10,-5,0,\n", "s.csv:2: TYPE -5 is none of -4 to -1"},
      {tree + "0,1,3,0,0,10,10,-4,-1,\n",
       "s.csv:2: a defect row (TYPE -4) has NODE_ID -1, CUT -1 and no PARENT"},
      {ours + "1,0,0,0,2\n", "s.csv:2: rotated \"2\" is neither 0 nor 1"},
      {ours + "0,0,0,0,0\n", "s.csv:2: instance 0 is not positive"},
      {ours + "2,0,0,0,0\n1,0,0,0,0\n", "s.csv:3: instance 1 after instance 2"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string got = refusal(text);
    EXPECT_EQ(got.substr(0, expected.size()), expected) << text;
  }
}

}  // namespace
}  // namespace sheetkit
