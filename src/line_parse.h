// One line of the instance or the defect file, parsed fast and strictly:
// exactly what the writer writes ("12.000000" numbers separated by tabs)
// and nothing else, with an LF or CR LF line end. A reader of either file
// spends most of its time here.
#ifndef SHEETGEN_LINE_PARSE_H_
#define SHEETGEN_LINE_PARSE_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sheetgen::line_parse {

// The parser reads up to this many bytes past the data a line can have;
// a buffer keeps them readable, and zero (never a digit or a line end).
constexpr std::size_t overrun = 8;

constexpr int32_t largest = 2147483647;

// Eight bytes from p, the first in the lowest byte, on any byte order.
inline uint64_t load8(const char* p) {
  uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, 8);
  } else {
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
  }
  return v;
}

constexpr uint64_t pack8(const char (&s)[9]) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[i]);
  return v;
}

// The value of eight digit bytes less '0' each (leading zeros may be 0
// bytes), the first digit in the lowest byte: three multiplications
// instead of a chain of eight.
inline uint64_t eight_digits(uint64_t v) {
  v = (v & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
  v = (v & 0x00FF00FF00FF00FF) * 6553601 >> 16;
  return (v & 0x0000FFFF0000FFFF) * 42949672960001 >> 32;
}

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Parses the line at p into out[0 .. Fields - 1] and returns the start of
// the next line, or nullptr when the line is not exactly what the writer
// writes: digits without a leading zero, ".000000", a tab or the line's
// end, for each number. Numbers are taken eight bytes at a time: their
// lengths vary too much for a byte loop's branches to be predicted.
template <int Fields>
inline const char* parse_line(const char* p, int32_t* out) {
  constexpr uint64_t zeros = pack8("00000000");
  for (int field = 0; field < Fields; ++field) {
    const uint64_t d = load8(p) - zeros;
    // The high bit of every byte that is not a digit. Borrows and carries
    // only run upwards, so the lowest flagged byte is always right.
    const uint64_t other = (d | (d + 0x7676767676767676)) & 0x8080808080808080;
    // Up to 8 digits without a branch: numbers of 7 and of 8 digits
    // follow one another at random in a run's areas.
    const int digits = other != 0 ? std::countr_zero(other) / 8 : 8;
    if (digits == 0) return nullptr;
    uint64_t value = eight_digits(d << (64 - 8 * digits) % 64);
    int length = digits;
    if ((other == 0) & is_digit(p[8])) {  // 9 or 10 digits: rare
      for (; length <= 10 && is_digit(p[length]); ++length) {
        value = value * 10 + static_cast<unsigned char>(p[length] - '0');
      }
      if (value > largest) return nullptr;
    }
    if (length > 1 && *p == '0') return nullptr;
    p += length;
    const uint64_t tail = load8(p);
    out[field] = static_cast<int32_t>(value);
    if (field + 1 < Fields) {
      if (tail != pack8(".000000\t")) return nullptr;
      p += 8;
    } else if (tail == pack8(".000000\n")) {
      p += 8;
    } else if (tail == pack8(".000000\r") && p[8] == '\n') {
      p += 9;
    } else {
      return nullptr;
    }
  }
  return p;
}

}  // namespace sheetgen::line_parse

#endif  // SHEETGEN_LINE_PARSE_H_
