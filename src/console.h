// The dialogue's side of the console: prompts out, whitespace-delimited
// answers in, as scanf's conversions read them, but bounded and without
// ever failing on the input stream.
#ifndef SHEETGEN_CONSOLE_H_
#define SHEETGEN_CONSOLE_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace sheetgen {

class console {
 public:
  // No answer can be longer: a longer word is refused after this many
  // characters and the rest of it is left unread, so every read ends.
  static constexpr std::size_t max_word = 255;

  console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  void print(std::string_view text);

  enum class word { ok, end, too_long };
  // Reads the next word into `text` (valid until the next read): `ok`, the
  // word cut at its first NUL byte; `end`, empty; `too_long`, its first
  // max_word bytes, uncut. A read error counts as the end of the input.
  word next_word(std::string_view& text);

  // The 1-based line on which the word last read starts; after the end of
  // the input, the line where it ended (the one after a last line break).
  int64_t word_line() const { return word_line_; }

  // Reads an integer answer; throws error("Input is not a valid number!")
  // for anything else, the end of the input included.
  int32_t read_int();
  // Reads a single-precision answer the same way.
  float read_float();
  // Reads one answer and ignores it, whatever it is, even the end of input.
  void discard_answer();
  // Throws what read_int does unless the input has no word left: an answer
  // given on its own is one word.
  void read_end();

  // Digits with an optional sign, within 32 bits.
  static std::optional<int32_t> parse_int(std::string_view s);
  // Exactly the words strtof reads whole: decimal and hexadecimal notation,
  // inf, infinity, nan. A value beyond the range of a float comes back as
  // NaN, which no bound accepts.
  static std::optional<float> parse_float(std::string_view s);

 private:
  int next_char();

  std::istream& in_;
  std::ostream& out_;
  bool ended_ = false;
  int64_t line_ = 1;  // of the next character
  int64_t word_line_ = 1;
  char word_[max_word + 1];  // no allocation: reading must work when memory is short
};

}  // namespace sheetgen

#endif  // SHEETGEN_CONSOLE_H_
