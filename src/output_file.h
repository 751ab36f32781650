// A file written through a buffer the caller owns, for the instance and the
// defect file. A second thread writes one half of the buffer while the
// caller fills the other, so that generating and writing overlap. Every
// failure to open, write or close the file throws
// error("Cannot write file NAME!"), NAME as the user entered it, and keeps
// what was written before it: a beginning of the file.
#ifndef SHEETGEN_OUTPUT_FILE_H_
#define SHEETGEN_OUTPUT_FILE_H_

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace sheetgen {

// Creates or truncates `name`, taken relative to `folder` unless absolute,
// unbuffered: the stream's own buffer would hide write errors until the
// close. Null where it cannot be opened.
std::FILE* open_unbuffered(const std::filesystem::path& folder, const std::string& name);

class worker;

class output_file {
 public:
  // The most one reservation may ask for with a buffer of `size` bytes.
  static constexpr std::size_t largest_reservation(std::size_t size) { return size / 2; }

  // Starts the writing thread, then creates or truncates `name`, taken
  // relative to `folder` unless absolute: everything the file needs is
  // allocated before the file is touched. Binary, so that every system
  // writes the same bytes. Where no thread can be started, the caller's
  // thread writes the whole buffer in turn with filling it.
  output_file(const std::filesystem::path& folder, const std::string& name, std::span<char> buffer);
  // Reached without close() only when the run aborts: writes what was
  // committed (whole blocks) unless a write has failed, and closes without
  // checking, as an exit would.
  ~output_file();
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Makes room for `n` bytes, at most the buffer's size, and returns where
  // they go; `commit` then records how far the caller wrote. Nothing
  // reserved reaches the file without a commit. Up to
  // largest_reservation(buffer size), writing overlaps with filling.
  char* reserve(std::size_t n) {
    if (filling_.size() - used_ < n) hand_over(n);
    return filling_.data() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - filling_.data()); }

  // Writes what is buffered and closes; any failure throws.
  void close();

 private:
  // Passes what is committed on to be written and continues in the other
  // half, once the writer is done with it, with room for `needed` bytes;
  // throws if a write failed.
  void hand_over(std::size_t needed);
  static void write_piece(void* self);
  // Throws write_error with `reason`, an errno value (0: none known).
  [[noreturn]] void fail(int reason);

  std::string name_;
  std::span<char> buffer_;
  std::unique_ptr<worker> writer_;  // null: this thread writes
  std::FILE* file_ = nullptr;
  std::span<char> filling_;  // the half being filled, or all of buffer_
  std::size_t used_ = 0;
  std::span<const char> piece_;  // being written by writer_
  bool write_failed_ = false;    // by writer_; read after it finished
  int failed_errno_ = 0;         // the reason, with write_failed_
};

}  // namespace sheetgen

#endif  // SHEETGEN_OUTPUT_FILE_H_
