/// \file
/// A regular file mapped into memory for reading, so that its lines are
/// parsed (or its bytes compared) where the page cache holds them, without
/// a copy: the library's readers use it, and so may a program that holds a
/// file to bytes it makes itself (sheetkit's verify).
///
/// A file cut short while it is mapped makes the pages past its new end
/// fault (SIGBUS). One handler, installed with the first mapping and passing
/// every other fault on to the handler before it, puts a page of zeros in
/// place of such a page and marks the mapping changed: the read goes on and
/// finds zeros, which no line holds, and the reader, before it reports
/// anything, asks changed() and reports the change instead.
#ifndef SHEETGEN_MAPPED_FILE_H_
#define SHEETGEN_MAPPED_FILE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace sheetgen {

/// A file's bytes, mapped whole and read only.
class mapped_file {
 public:
  /// `file` mapped whole, with readable zeros for a page before its first
  /// byte; null where it is not a regular file, where SHEETGEN_READ=map
  /// does not choose mapping, or where mapping is not to be had here
  /// (Windows, an address space too small for the file, an empty file, the
  /// system refused): read it as a stream then. Throws file_error, naming
  /// `name`, for a regular file that cannot be opened or a folder.
  static std::unique_ptr<mapped_file> open(const std::filesystem::path& file,
                                           const std::string& name);
  /// Unmaps the file (and frees its slot in the fault handler's table).
  ~mapped_file();
  mapped_file(const mapped_file&) = delete;
  mapped_file& operator=(const mapped_file&) = delete;

  /// The file's first byte; the page before it reads as zeros.
  const char* data() const { return data_; }
  /// The file's size when it was mapped.
  std::size_t size() const { return size_; }

  /// Makes [from, from + n) resident ahead of the parse (on the thread that
  /// will not wait for it).
  void prefetch(const char* from, std::size_t n) const;
  /// Lets the pages before `upto` leave the process's resident memory: a
  /// long file is read in constant memory. They come back if read again.
  void release(const char* upto);

  /// True once a read found a page gone or the file's size is no longer
  /// the mapped one: it was cut short (or grown) while it was read.
  bool changed() const;

 private:
  mapped_file() = default;

  char* reserved_ = nullptr;  // the page before, then the file's pages
  std::size_t reserved_size_ = 0;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  const char* released_ = nullptr;  // pages before this one have been let go
  int fd_ = -1;
  int slot_ = -1;  // in the fault handler's table
  std::atomic<bool> faulted_{false};
};

}  // namespace sheetgen

#endif  // SHEETGEN_MAPPED_FILE_H_
