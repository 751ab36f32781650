// Integers in the form "%f" gives them ("12.000000"), fast: a run may
// write a billion numbers, and printf would take most of its time.
#ifndef SHEETGEN_NUMBER_FORMAT_H_
#define SHEETGEN_NUMBER_FORMAT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sheetgen::number_format {

// Bytes put_number may touch for one number: a sign, 10 digits, ".000000"
// and the tab after it.
constexpr std::size_t max_chars = 1 + 10 + 7 + 1;

// "0000" .. "9999", and room for a 4-byte read at any entry: four digits a
// load, so a number costs a few independent loads, not a chain of divisions.
inline constexpr std::array<char, 4 * 10000 + 4> four_digit_table = [] {
  std::array<char, 4 * 10000 + 4> t{};
  for (int v = 0; v < 10000; ++v) {
    t[4 * v] = static_cast<char>('0' + v / 1000);
    t[4 * v + 1] = static_cast<char>('0' + v / 100 % 10);
    t[4 * v + 2] = static_cast<char>('0' + v / 10 % 10);
    t[4 * v + 3] = static_cast<char>('0' + v % 10);
  }
  return t;
}();

// How many digits each v < 10^4 has: one load costs a quarter less time
// per line than three comparisons and their sum (measured).
inline constexpr std::array<uint8_t, 10000> digit_count = [] {
  std::array<uint8_t, 10000> t{};
  for (int v = 0; v < 10000; ++v) {
    t[v] = static_cast<uint8_t>(1 + (v >= 10) + (v >= 100) + (v >= 1000));
  }
  return t;
}();

// v < 10^4 without leading zeros; writes 4 bytes.
inline char* put_leading(char* out, uint32_t v) {
  const int n = digit_count[v];
  std::memcpy(out, four_digit_table.data() + 4 * v + 4 - n, 4);
  return out + n;
}

// v < 10^4 as exactly four digits.
inline char* put_four(char* out, uint32_t v) {
  std::memcpy(out, four_digit_table.data() + 4 * v, 4);
  return out + 4;
}

// The digits of v < 2^32; writes up to 3 bytes past them.
inline char* put_digits(char* out, uint32_t v) {
  if (v < 10000) return put_leading(out, v);
  if (v < 100000000) {
    const uint32_t high = v / 10000;
    out = put_leading(out, high);
    return put_four(out, v - high * 10000);
  }
  const uint32_t high = v / 100000000;  // 1 .. 42
  const uint32_t rest = v - high * 100000000;
  out = put_leading(out, high);
  out = put_four(out, rest / 10000);
  return put_four(out, rest % 10000);
}

// The number followed by a tab that the caller keeps or overwrites; returns
// where the tab is. Touches at most max_chars bytes.
inline char* put_number(char* out, int32_t value) {
  if (value < 0) {
    *out++ = '-';
    out = put_digits(out, 0u - static_cast<uint32_t>(value));
  } else {
    out = put_digits(out, static_cast<uint32_t>(value));
  }
  std::memcpy(out, ".000000\t", 8);
  return out + 7;
}

}  // namespace sheetgen::number_format

#endif  // SHEETGEN_NUMBER_FORMAT_H_
