// A file written through a buffer the caller owns, for the instance and the
// defect file. Every failure to open, write or close it throws
// error("Cannot write file NAME!"), NAME as the user entered it.
#ifndef SHEETGEN_OUTPUT_FILE_H_
#define SHEETGEN_OUTPUT_FILE_H_

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace sheetgen {

class output_file {
 public:
  // Creates or truncates `name`, taken relative to `folder` unless
  // absolute. Binary, so that every system writes the same bytes.
  output_file(const std::filesystem::path& folder, const std::string& name, std::span<char> buffer);
  ~output_file();  // closes without checking: only reached on an abort
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Makes room for `n` bytes, at most the buffer's size, and returns where
  // they go; `commit` then records how far the caller wrote. Nothing
  // reserved reaches the file without a commit.
  char* reserve(std::size_t n) {
    if (buffer_.size() - used_ < n) flush();
    return buffer_.data() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

  // Writes what is buffered and closes; any failure throws.
  void close();

 private:
  void flush();
  [[noreturn]] void fail();

  std::string name_;
  std::FILE* file_ = nullptr;
  std::span<char> buffer_;
  std::size_t used_ = 0;
};

}  // namespace sheetgen

#endif  // SHEETGEN_OUTPUT_FILE_H_
