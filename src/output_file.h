// A text file written through one large buffer, for the instance and the
// defect file. Every failure to open, write or close it ends the run with
// "Cannot write file NAME!", NAME as the user entered it.
#ifndef SHEETGEN_OUTPUT_FILE_H_
#define SHEETGEN_OUTPUT_FILE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace sheetgen {

class output_file {
 public:
  // Creates or truncates `name`, taken relative to `folder` unless absolute.
  output_file(const std::filesystem::path& folder, const std::string& name);
  ~output_file();  // closes without checking: only reached on an abort
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Longest text put_number writes: a sign, 19 digits and ".000000".
  static constexpr std::size_t max_number_chars = 27;

  // The most `reserve` can promise at once.
  static constexpr std::size_t max_reserve = std::size_t{2} << 20;

  // Makes room for `n` <= max_reserve bytes and returns where they go;
  // `commit` then records how far the caller wrote. Nothing reserved
  // reaches the file without a commit.
  char* reserve(std::size_t n) {
    if (capacity_ - used_ < n) flush();
    return buffer_.get() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  // An integer in the form "%f" gives it: "12.000000", followed by a tab
  // that the caller keeps or overwrites. Callers reserve max_number_chars
  // + 1 bytes per number.
  static char* put_number(char* out, int64_t value) {
    if (value < 0 || value >= 10'000'000'000) return put_wide_number(out, value);
    out = put_digits(out, static_cast<uint64_t>(value));
    std::memcpy(out, ".000000\t", 8);
    return out + 7;
  }

  void put_char(char c) {
    *reserve(1) = c;
    ++used_;
  }

  // One line of numbers separated by tabs: "%f\t%f\n" and so on.
  template <typename... Numbers>
  void put_line(Numbers... numbers) {
    char* out = reserve(sizeof...(numbers) * (max_number_chars + 1));
    ((out = put_number(out, static_cast<int64_t>(numbers)) + 1), ...);  // keeps each tab
    out[-1] = '\n';
    commit(out);
  }

  // Writes what is buffered and closes; any failure aborts the run.
  void close();

 private:
  // The digits of v < 10^10, four at a time from a table, so that the work
  // for one number is a few independent loads rather than a chain of
  // divisions. Writes up to 4 bytes past the digits.
  static char* put_digits(char* out, uint64_t v) {
    if (v < 10000) return put_leading(out, static_cast<uint32_t>(v));
    if (v < 100000000) {
      const auto high = static_cast<uint32_t>(v / 10000);
      out = put_leading(out, high);
      return put_four(out, static_cast<uint32_t>(v - uint64_t{high} * 10000));
    }
    const auto high = static_cast<uint32_t>(v / 100000000);  // 1 .. 99
    const auto rest = static_cast<uint32_t>(v - uint64_t{high} * 100000000);
    out = put_leading(out, high);
    out = put_four(out, rest / 10000);
    return put_four(out, rest % 10000);
  }

  // v < 10^4 without leading zeros.
  static char* put_leading(char* out, uint32_t v) {
    const int n = 1 + (v >= 10) + (v >= 100) + (v >= 1000);
    std::memcpy(out, four_digits + 4 * v + 4 - n, 4);
    return out + n;
  }

  // v < 10^4 as exactly four digits.
  static char* put_four(char* out, uint32_t v) {
    std::memcpy(out, four_digits + 4 * v, 4);
    return out + 4;
  }

  static char* put_wide_number(char* out, int64_t value);
  // "0000" .. "9999", and room for a 4-byte read at any entry.
  static constexpr std::array<char, 4 * 10000 + 4> four_digit_table = [] {
    std::array<char, 4 * 10000 + 4> t{};
    for (int v = 0; v < 10000; ++v) {
      t[4 * v] = static_cast<char>('0' + v / 1000);
      t[4 * v + 1] = static_cast<char>('0' + v / 100 % 10);
      t[4 * v + 2] = static_cast<char>('0' + v / 10 % 10);
      t[4 * v + 3] = static_cast<char>('0' + v % 10);
    }
    return t;
  }();
  static constexpr const char* four_digits = four_digit_table.data();

  void flush();
  [[noreturn]] void fail();

  std::string name_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

}  // namespace sheetgen

#endif  // SHEETGEN_OUTPUT_FILE_H_
