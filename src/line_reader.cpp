#include "line_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "sheetgen/types.h"

namespace sheetgen {

namespace {

// Large reads for speed, a fixed size for bounded memory. A refill moves
// the unread rest to the front, so the longest line always fits.
constexpr std::size_t buffer_size = std::size_t{64} << 10;
// Zeros after the data: the line parser may look up to 8 bytes past the
// data's end, and a zero is neither a digit nor a line end, so a line that
// runs into it is refused like any other wrong byte.
constexpr std::size_t padding = 8;

constexpr int32_t largest = 2147483647;

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

std::string quote(std::string_view text) {
  constexpr std::size_t shown = 40;
  std::string out = "\"";
  for (const char c : text.substr(0, shown)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7f) {
      constexpr char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
  if (text.size() > shown) out += "...";
  return out;
}

// Why `token` is not a number as the writer writes it ("12.000000");
// empty if it is one. With `prefix`, only whether it can begin one.
std::string number_problem(std::string_view token, bool prefix) {
  if (token.size() >= 2 && is_digit(token[1])) {
    if (token[0] == '-') return "negative number: " + quote(token);
    if (token[0] == '+') return "number with a plus sign: " + quote(token);
  }
  const std::size_t digits = std::find_if_not(token.begin(), token.end(), is_digit) - token.begin();
  const std::string_view rest = token.substr(digits);
  if (digits == 0) return prefix && token.empty() ? "" : "not a number: " + quote(token);
  if (!rest.empty() && (rest[0] != '.' || !std::all_of(rest.begin() + 1, rest.end(), is_digit))) {
    return "not a number: " + quote(token);
  }
  constexpr std::string_view decimals = ".000000";
  if (prefix ? !decimals.starts_with(rest) : rest != decimals) {
    return "number is not an integer written with \".000000\": " + quote(token);
  }
  if (digits > 1 && token[0] == '0') return "number with a leading zero: " + quote(token);
  int64_t value = 0;
  for (std::size_t i = 0; i < digits && value <= largest; ++i)
    value = value * 10 + (token[i] - '0');
  if (value > largest) return "number too large (more than 2147483647): " + quote(token);
  return "";
}

// Why `line` (without its line end) is not a line of `fields` numbers as
// the writer writes it; empty if it is one. With `cut`, the line's end is
// missing, and only whether it can begin such a line counts; with
// `longer`, it is missing because the line goes on beyond `line`.
std::string line_problem(std::string_view line, int fields, bool cut, bool longer) {
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') return "carriage return not followed by a line feed: " + quote(line);
    if ((u < 0x20 && c != '\t') || u == 0x7f) {
      return "control character " + quote(std::string_view(&c, 1)) + " in the line: " + quote(line);
    }
  }
  if (line.find(' ') != std::string_view::npos) {
    return "space in the line (numbers are separated by tabs): " + quote(line);
  }
  const std::string expected = "expected " + std::to_string(fields) + " numbers separated by ";
  std::vector<std::string_view> tokens;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    tokens.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  const auto found = static_cast<int>(tokens.size());
  if (found > fields) {
    // Of a longer line only the beginning is known, and so a lower bound.
    return expected + "tabs, found " +
           (longer ? "more than " + std::to_string(fields) : std::to_string(found)) + ": " +
           quote(line);
  }
  for (int i = 0; i < found; ++i) {
    const bool last_cut = cut && i == found - 1;
    if (tokens[i].empty() && !last_cut) {
      return expected + "single tabs, found an empty field: " + quote(line);
    }
    std::string problem = number_problem(tokens[i], last_cut);
    if (!problem.empty()) return problem;
  }
  if (found < fields && !cut) {
    return expected + "tabs, found " + std::to_string(found) + ": " + quote(line);
  }
  return "";
}

// Eight bytes from p, the first in the lowest byte.
uint64_t load8(const char* p) {
  uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, 8);
  } else {
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
  }
  return v;
}

constexpr uint64_t pack8(std::string_view s) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[i]);
  return v;
}

// The value of eight digit bytes less '0' each (leading zeros may be 0
// bytes), the first digit in the lowest byte: three multiplications
// instead of a chain of eight.
uint64_t eight_digits(uint64_t v) {
  v = (v & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
  v = (v & 0x00FF00FF00FF00FF) * 6553601 >> 16;
  return (v & 0x0000FFFF0000FFFF) * 42949672960001 >> 32;
}

}  // namespace

line_reader::line_reader(std::istream& in, std::string name, line_format format)
    : in_(in.rdbuf()),
      name_(std::move(name)),
      format_(format),
      longest_(max_line(format.fields) + 2),
      buffer_(new char[buffer_size + padding]),
      pos_(buffer_.get()),
      end_(buffer_.get()) {
  // A stream that failed to open would otherwise read as an empty file.
  if (in_ == nullptr || !in) throw error(name_ + ": cannot be read");
}

void line_reader::refill() {
  const auto kept = static_cast<std::size_t>(end_ - pos_);
  std::memmove(buffer_.get(), pos_, kept);
  pos_ = buffer_.get();
  end_ = buffer_.get() + kept;
  // A streambuf may return less than asked before its end (a pipe does).
  while (!eof_ && static_cast<std::size_t>(end_ - pos_) < longest_) {
    const std::streamsize got =
        in_->sgetn(end_, static_cast<std::streamsize>(buffer_.get() + buffer_size - end_));
    if (got <= 0) {
      eof_ = true;  // a streambuf reports a read error as its end, too
    } else {
      end_ += got;
    }
  }
  std::memset(end_, 0, padding);
}

line_reader::result line_reader::next(int32_t* out) {
  if (static_cast<std::size_t>(end_ - pos_) < longest_ && !eof_) refill();
  if (pos_ == end_) {
    if (block_lines_ > 0) {
      fail(line_ + 1, "file ends inside the block that starts on line " +
                          std::to_string(block_line_) + ": its empty line is missing (cut short?)");
    }
    return result::file_end;
  }
  ++line_;
  if (block_lines_ == 0) block_line_ = line_;
  if (pos_[0] == '\n' || (pos_[0] == '\r' && pos_[1] == '\n')) {
    pos_ += pos_[0] == '\n' ? 1 : 2;
    block_lines_ = 0;
    return result::block_end;
  }
  if (block_lines_ == format_.max_lines) {
    fail(line_, "block has more than " + std::to_string(format_.max_lines) + " " + format_.noun +
                    " lines (it starts on line " + std::to_string(block_line_) + ")");
  }
  if (!parse(out)) fail_line();
  ++block_lines_;
  return result::numbers;
}

// Exactly what the writer writes, in one pass over the line: digits
// without a leading zero, ".000000", a tab or the line's end. Anything else
// returns false, and fail_line finds out what it was. Numbers are taken
// eight bytes at a time: their lengths vary too much for a byte loop's
// branches to be predicted. Reads at most 8 bytes past the data's end.
bool line_reader::parse(int32_t* out) {
  constexpr uint64_t zeros = 0x3030303030303030;
  constexpr uint64_t tail_tab = pack8(".000000\t");
  constexpr uint64_t tail_lf = pack8(".000000\n");
  constexpr uint64_t tail_cr = pack8(".000000\r");
  const char* p = pos_;
  for (int field = 0;; ++field) {
    const uint64_t d = load8(p) - zeros;
    // The high bit of every byte that is not a digit. Borrows and carries
    // only run upwards, so the lowest flagged byte is always right.
    const uint64_t other = (d | (d + 0x7676767676767676)) & 0x8080808080808080;
    std::size_t digits = 8;
    uint64_t value;
    if (other != 0) {
      digits = static_cast<std::size_t>(std::countr_zero(other)) / 8;
      if (digits == 0) return false;
      value = eight_digits(d << (64 - 8 * digits));
    } else {  // 8 digits or more: rare, and at most 10 are any good
      value = eight_digits(d);
      for (; digits <= 10 && is_digit(p[digits]); ++digits) {
        value = value * 10 + static_cast<unsigned char>(p[digits] - '0');
      }
      if (value > largest) return false;
    }
    if (digits > 1 && *p == '0') return false;
    p += digits;
    const uint64_t tail = load8(p);
    out[field] = static_cast<int32_t>(value);
    if (field + 1 < format_.fields) {
      if (tail != tail_tab) return false;
      p += 8;
      continue;
    }
    if (tail == tail_lf) {
      pos_ = p + 8;
    } else if (tail == tail_cr && p[8] == '\n') {
      pos_ = p + 9;
    } else {
      return false;
    }
    return true;
  }
}

void line_reader::fail_line() const {
  const auto available = static_cast<std::size_t>(end_ - pos_);
  const auto* lf = static_cast<const char*>(std::memchr(pos_, '\n', std::min(available, longest_)));
  std::string_view line(pos_, lf != nullptr ? lf - pos_ : std::min(available, longest_));
  // Before an LF the CR is the line end; at a cut it may have been one.
  if (line.ends_with('\r')) line.remove_suffix(1);
  const bool longer = lf == nullptr && available >= longest_;
  std::string problem = line_problem(line, format_.fields, lf == nullptr, longer);
  if (problem.empty() && lf == nullptr && eof_ && available < longest_) {
    problem = "file ends in the middle of a line: cut short?";
  }
  if (problem.empty()) problem = "line is not as the writer writes it: " + quote(line);
  fail(line_, problem);
}

void line_reader::fail(int64_t line, const std::string& what) const {
  throw error(name_ + ":" + std::to_string(line) + ": " + what);
}

}  // namespace sheetgen
