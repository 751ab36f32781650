// A text file written through one large buffer, for the instance and the
// defect file. Every failure to open, write or close it ends the run with
// "Cannot write file NAME!", NAME as the user entered it.
#ifndef SHEETGEN_OUTPUT_FILE_H_
#define SHEETGEN_OUTPUT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
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

  // Makes room for `n` bytes and returns where they go; `commit` then
  // records how far the caller wrote.
  char* reserve(std::size_t n) {
    if (capacity_ - used_ < n) flush();
    return buffer_.get() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  // An integer in the form "%f" gives it: "12.000000".
  static char* put_number(char* out, int64_t value);

  void put_char(char c) {
    *reserve(1) = c;
    ++used_;
  }

  // One line of numbers separated by tabs: "%f\t%f\n" and so on.
  void put_line(std::initializer_list<int64_t> numbers) {
    char* out = reserve(numbers.size() * (max_number_chars + 1));
    for (int64_t n : numbers) {
      out = put_number(out, n);
      *out++ = '\t';
    }
    out[-1] = '\n';
    commit(out);
  }

  // Writes what is buffered and closes; any failure aborts the run.
  void close();

 private:
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
