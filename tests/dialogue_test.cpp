#include <gtest/gtest.h>
#include <sheetgen/answers.h>

#include <sstream>
#include <string>

#include "test_util.h"

namespace sheetgen {
namespace {

// Where read_answers places a bad answer, and the message it keeps.
struct refused {
  std::string what;
  int64_t line;
  question asked;
  int32_t defect;
  std::string name;
};

refused read_refused(const std::string& text) {
  std::istringstream in(text);
  std::ostringstream prompts;
  try {
    read_answers(in, prompts, testing::scratch_folder().path());
  } catch (const answer_error& e) {
    return {e.what(), e.line(), e.question(), e.defect(), e.question_name()};
  }
  return {"(read without error)", 0, question::seed, 0, ""};
}

// The worked example's answers, one a line, with line `n` (1-based) replaced.
std::string worked_with(int n, const std::string& answer) {
  testing::answers a;
  a.defects = testing::worked::defect_sizes();
  std::istringstream lines(a.text());
  std::string out;
  int k = 0;
  for (std::string line; std::getline(lines, line);) out += (++k == n ? answer : line) + "\n";
  return out;
}

const char* const not_a_number = "Input is not a valid number!";

TEST(Answers, EachBadAnswerNamesItsLineAndQuestion) {
  const struct {
    std::string text;
    int64_t line;
    question asked;
    int32_t defect;
    const char* name;
    const char* what;
  } cases[] = {
      {worked_with(6, "x"), 6, question::upper_bound, 0, "the upper bound", not_a_number},
      {worked_with(1, "20001"), 1, question::instances, 0, "the number of instances",
       "Please recompile code with larger MAXMOD value!\n"},
      // The length alone is refused at once; the product only with the width.
      {worked_with(2, "0"), 2, question::object_length, 0, "the object's length",
       "The large object's length and width must be positive and their product must not exceed "
       "2147483647!"},
      {worked_with(3, "300000000"), 3, question::object_width, 0, "the object's width",
       "The large object's length and width must be positive and their product must not exceed "
       "2147483647!"},
      {worked_with(4, "-"), 4, question::item_types, 0, "the number of item types", not_a_number},
      {worked_with(5, "1.5"), 5, question::lower_bound, 0, "the lower bound",
       "Value must lie between 0 and 1!"},
      // A check across answers belongs to the one read last.
      {worked_with(5, "0.3"), 6, question::upper_bound, 0, "the upper bound",
       "The upper bound for the relative size must not be smaller than the lower bound!"},
      {worked_with(7, "1001"), 7, question::defects, 0, "the number of defects",
       "Please recompile code with larger MAXDEF value!\n"},
      // Both sides of a defect are read first; the check names the side at fault.
      {worked_with(8, "0 2"), 8, question::defect_length, 1, "defect 1's length",
       "Values must be greater than 0!"},
      {worked_with(8, "3\n\n0"), 10, question::defect_width, 1, "defect 1's width",
       "Values must be greater than 0!"},
      {worked_with(9, "11 1"), 9, question::defect_length, 2, "defect 2's length",
       "This defect does not fit onto the large object!"},
      {worked_with(9, "10 11"), 9, question::defect_width, 2, "defect 2's width",
       "This defect does not fit onto the large object!"},
      {worked_with(10, std::string(80, 'n')), 10, question::instance_file, 0,
       "the instance file name", "File name too long (at most 79 characters)!"},
      {worked_with(11, "./instances.txt"), 11, question::defect_file, 0, "the defect file name",
       "The defect file must differ from the instance file!"},
      {worked_with(12, "twelve"), 12, question::seed, 0, "the seed", not_a_number},
      // Several answers on one line, and CR LF line ends.
      {"2 10 10\r\n4 0.1 0.2 1\r\n1 1 a.txt\r\nb.txt x\r\n", 4, question::seed, 0, "the seed",
       not_a_number},
  };
  for (const auto& c : cases) {
    const refused r = read_refused(c.text);
    EXPECT_EQ(r.what, c.what) << c.text;
    EXPECT_EQ(r.line, c.line) << c.text;
    EXPECT_EQ(r.asked, c.asked) << c.text;
    EXPECT_EQ(r.defect, c.defect) << c.text;
    EXPECT_EQ(r.name, c.name) << c.text;
  }
}

TEST(Answers, InputThatEndsEarlyIsPlacedAfterItsLastLine) {
  const std::string five = "2\n10\n10\n4\n0.1\n";
  refused r = read_refused(five);
  EXPECT_EQ(r.line, 6);
  EXPECT_EQ(r.name, "the upper bound");
  EXPECT_EQ(r.what, not_a_number);
  // Without a last line break the input ends on its last line.
  r = read_refused(five.substr(0, five.size() - 1));
  EXPECT_EQ(r.line, 5);
  EXPECT_EQ(r.name, "the upper bound");
  // Trailing blank lines count.
  r = read_refused("2\n10\n10\n4\n0.1\n0.2\n1\n3 2\n\n\n");
  EXPECT_EQ(r.line, 11);
  EXPECT_EQ(r.name, "the instance file name");
  EXPECT_EQ(r.what, "Missing file name!");
  r = read_refused("");
  EXPECT_EQ(r.line, 1);
  EXPECT_EQ(r.name, "the number of instances");
}

}  // namespace
}  // namespace sheetgen
