#include "console.h"

#include <sheetgen/types.h>

#include <charconv>
#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>
#include <string>

namespace sheetgen {

namespace {

const char* const not_a_number = "Input is not a valid number!";

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

void console::print(std::string_view text) { out_ << text; }

// A stream that cannot be read (a folder, a closed descriptor, a pipe
// without data) throws from its buffer or reports an error; either way the
// answers have ended.
int console::next_char() {
  using traits = std::char_traits<char>;
  if (ended_) return traits::eof();
  int c = traits::eof();
  try {
    std::streambuf* buf = in_.rdbuf();
    if (buf != nullptr) c = buf->sbumpc();
  } catch (...) {
    c = traits::eof();
  }
  if (c == traits::eof()) ended_ = true;
  if (c == '\n') ++line_;
  return c;
}

console::word console::next_word(std::string_view& text) {
  // Every prompt must be visible before the program waits for its answer.
  out_.flush();
  int c = next_char();
  while (c != std::char_traits<char>::eof() && is_space(c)) c = next_char();
  word_line_ = line_;
  text = {};
  std::size_t n = 0;
  bool too_long = false;
  while (c != std::char_traits<char>::eof() && !is_space(c)) {
    if (n == max_word) {
      too_long = true;  // the rest of the word stays unread
      break;
    }
    word_[n++] = static_cast<char>(c);
    c = next_char();
  }
  if (n == 0) return word::end;
  text = std::string_view(word_, n);
  if (too_long) return word::too_long;
  // What C strings would see: the word up to its first NUL.
  text = text.substr(0, text.find('\0'));
  return word::ok;
}

int32_t console::read_int() {
  std::string_view text;
  if (next_word(text) != word::ok) throw error(not_a_number);
  const std::optional<int32_t> v = parse_int(text);
  if (!v) throw error(not_a_number);
  return *v;
}

float console::read_float() {
  std::string_view text;
  if (next_word(text) != word::ok) throw error(not_a_number);
  const std::optional<float> v = parse_float(text);
  if (!v) throw error(not_a_number);
  return *v;
}

void console::discard_answer() {
  std::string_view ignored;
  next_word(ignored);
}

void console::read_end() {
  std::string_view rest;
  if (next_word(rest) != word::end) throw error(not_a_number);
}

std::optional<int32_t> console::parse_int(std::string_view s) {
  const bool negative = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  if (s.empty() || s.front() < '0' || s.front() > '9') return std::nullopt;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  if (magnitude > limit) return std::nullopt;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                       : static_cast<int64_t>(magnitude));
}

std::optional<float> console::parse_float(std::string_view s) {
  const bool negative = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  if (s.empty() || s.front() == '-' || s.front() == '+') return std::nullopt;
  auto format = std::chars_format::general;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    // A hexadecimal number needs a digit, before or after its point;
    // from_chars alone would also take "inf" and "nan" here.
    const bool digit = is_hex_digit(s[0]) || (s.size() > 1 && s[0] == '.' && is_hex_digit(s[1]));
    if (!digit) return std::nullopt;
    format = std::chars_format::hex;
  }
  float v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, format);
  if (end != s.data() + s.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<float>::quiet_NaN();
  if (ec != std::errc()) return std::nullopt;
  return negative ? -v : v;
}

}  // namespace sheetgen
