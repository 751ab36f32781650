/// \file
/// The dialogue's answers: read from any stream, with the dialogue's own
/// prompts, checks and messages, so that an answers file can be read by
/// other programs too.
#ifndef SHEETGEN_ANSWERS_H_
#define SHEETGEN_ANSWERS_H_

#include <sheetgen/types.h>

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

namespace sheetgen {

/// The dialogue's questions, in the order it asks them.
enum class question {
  instances,      ///< how many instances
  object_length,  ///< the large object's length
  object_width,   ///< the large object's width
  item_types,     ///< how many item types per instance
  lower_bound,    ///< the lower bound of item area / object area
  upper_bound,    ///< the upper bound of item area / object area
  defects,        ///< how many defects per instance
  defect_length,  ///< one defect's length
  defect_width,   ///< one defect's width
  instance_file,  ///< the instance file's name
  defect_file,    ///< the defect file's name
  seed,           ///< the seed
};

/// A bad answer, with where it stands. `what()` is exactly the dialogue's
/// message, as sheetgen prints it; a front end that reads an answers file
/// adds the place: "FILE:LINE: QUESTION: MESSAGE". A check across answers
/// (crossed bounds, one file under two names) belongs to the answer read
/// last.
class answer_error : public error {
 public:
  /// `message` keeps its text; `line` is 1-based; `defect` is the defect's
  /// 1-based number for the defect questions, else 0.
  answer_error(const error& message, int64_t line, sheetgen::question asked, int32_t defect = 0)
      : error(message), line_(line), question_(asked), defect_(defect) {}

  /// The line on which the offending answer starts; when the input ended
  /// before it, the line after the last one (the last one when the input
  /// does not end in a line break).
  int64_t line() const noexcept { return line_; }
  /// The question whose answer was refused.
  sheetgen::question question() const noexcept { return question_; }
  /// For defect_length and defect_width the defect's number, from 1; else 0.
  int32_t defect() const noexcept { return defect_; }
  /// The question in a few words: "the number of instances", "the upper
  /// bound", "defect 3's length", "the instance file name", "the seed".
  std::string question_name() const;
  /// The error as a program reading the answers file `file` reports it:
  /// "FILE:LINE: QUESTION: MESSAGE", without the line break that some of the
  /// dialogue's messages end in.
  std::string located(std::string_view file) const;

 private:
  int64_t line_;
  sheetgen::question question_;
  int32_t defect_;
};

/// Asks every question on `prompts` and reads its answer from `in`, checking
/// each as soon as it is read. File names are taken relative to `folder`
/// when the two files are compared. Throws `answer_error` at the first bad
/// answer; the answers read after it stay unread. To read an answers file
/// silently, pass an output stream that discards.
run_parameters read_answers(std::istream& in, std::ostream& prompts,
                            const std::filesystem::path& folder);

/// Reads `answer` as the dialogue reads an integer answer: one word (blanks
/// around it skipped, cut at a NUL byte) of decimal digits with an optional
/// sign, within 32 bits. Throws `error` with the dialogue's "Input is not a
/// valid number!" for anything else, a second word included. For answers
/// given one by one in code, such as by a binding to another language.
int32_t parse_int_answer(std::string_view answer);

/// Reads `answer` as the dialogue reads a relative bound: one word that C's
/// strtof reads whole, otherwise as parse_int_answer. Whether the value lies
/// between 0 and 1 is check_relsize's business.
float parse_float_answer(std::string_view answer);

}  // namespace sheetgen

#endif  // SHEETGEN_ANSWERS_H_
