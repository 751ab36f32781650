#include <gtest/gtest.h>
#include <sheetgen/answers.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "test_util.h"

namespace sheetgen {
namespace {

using std::string_literals::operator""s;

// "LINE: QUESTION: MESSAGE" for the answer that read_answers refuses.
std::string place_of(const std::string& text) {
  std::istringstream in(text);
  std::ostringstream prompts;
  try {
    read_answers(in, prompts, testing::scratch_folder().path());
  } catch (const answer_error& e) {
    return std::to_string(e.line()) + ": " + e.question_name() + ": " + e.what();
  }
  return "(no error)";
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

TEST(Answers, EachBadAnswerNamesItsLineAndQuestion) {
  const std::string not_a_number = ": Input is not a valid number!";
  const std::string bad_object =
      ": The large object's length and width must be positive and their product must not exceed "
      "2147483647!";
  const std::pair<std::string, std::string> cases[] = {
      {worked_with(1, "20001"),
       "1: the number of instances: Please recompile code with larger MAXMOD value!\n"},
      // The length alone is refused at once; the product only with the width.
      {worked_with(2, "0"), "2: the object's length" + bad_object},
      {worked_with(3, "300000000"), "3: the object's width" + bad_object},
      {worked_with(4, "-"), "4: the number of item types" + not_a_number},
      {worked_with(5, "1.5"), "5: the lower bound: Value must lie between 0 and 1!"},
      {worked_with(6, "x"), "6: the upper bound" + not_a_number},
      // A check across answers belongs to the one read last.
      {worked_with(5, "0.3"),
       "6: the upper bound: The upper bound for the relative size must not be smaller than the "
       "lower bound!"},
      {worked_with(7, "1001"),
       "7: the number of defects: Please recompile code with larger MAXDEF value!\n"},
      // Both sides of a defect are read first; the check names the side at fault.
      {worked_with(8, "0 2"), "8: defect 1's length: Values must be greater than 0!"},
      {worked_with(8, "3\n\n0"), "10: defect 1's width: Values must be greater than 0!"},
      {worked_with(9, "11 1"),
       "9: defect 2's length: This defect does not fit onto the large object!"},
      {worked_with(9, "10 11"),
       "9: defect 2's width: This defect does not fit onto the large object!"},
      {worked_with(10, std::string(80, 'n')),
       "10: the instance file name: File name too long (at most 79 characters)!"},
      {worked_with(11, "./instances.txt"),
       "11: the defect file name: The defect file must differ from the instance file!"},
      {worked_with(12, "twelve"), "12: the seed" + not_a_number},
      // Several answers on a line, CR LF line ends.
      {"2 10 10\r\n4 0.1 0.2 1\r\n1 1 a.txt\r\nb.txt x\r\n", "4: the seed" + not_a_number},
      // Input that ends early: the line after its last line break.
      {"2\n10\n10\n4\n0.1\n", "6: the upper bound" + not_a_number},
      {"2\n10\n10\n4\n0.1", "5: the upper bound" + not_a_number},
      {"2\n10\n10\n4\n0.1\n0.2\n1\n3 2\n\n\n", "11: the instance file name: Missing file name!"},
      {"", "1: the number of instances" + not_a_number},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(place_of(text), expected) << text;

  try {
    std::istringstream in(worked_with(9, "10 11"));
    std::ostringstream prompts;
    read_answers(in, prompts, testing::scratch_folder().path());
    ADD_FAILURE() << "no error";
  } catch (const answer_error& e) {
    EXPECT_EQ(e.question(), question::defect_width);
    EXPECT_EQ(e.defect(), 2);
  }
}

// An answer given on its own is read as the dialogue reads it, and is one word.
TEST(Answers, AnswersAloneAreReadAsTheDialogueReadsThem) {
  EXPECT_EQ(parse_int_answer(" -2147483648\n"), INT32_MIN);
  EXPECT_EQ(parse_int_answer("2\0x"s), 2);  // cut at the NUL, as C strings are
  EXPECT_EQ(parse_float_answer("0.1"), 0.1f);
  EXPECT_EQ(parse_float_answer("0x1p-3"), 0.125f);
  for (const std::string& bad : {""s, "2147483648"s, "1.5"s, "1 2"s, std::string(256, '1')}) {
    EXPECT_EQ(testing::message_of([&] { parse_int_answer(bad); }), "Input is not a valid number!")
        << bad;
  }
  for (const std::string& bad : {"0.1 0.2"s, "0.1x"s, "0xinf"s, "-"s}) {
    EXPECT_EQ(testing::message_of([&] { parse_float_answer(bad); }), "Input is not a valid number!")
        << bad;
  }
  EXPECT_TRUE(std::isnan(parse_float_answer("1e39")));  // which no bound accepts

  try {
    std::istringstream in(worked_with(7, "1001"));
    std::ostringstream prompts;
    read_answers(in, prompts, testing::scratch_folder().path());
    ADD_FAILURE() << "no error";
  } catch (const answer_error& e) {
    EXPECT_EQ(e.located("a.txt"),
              "a.txt:7: the number of defects: Please recompile code with larger MAXDEF value!");
  }
}

}  // namespace
}  // namespace sheetgen
