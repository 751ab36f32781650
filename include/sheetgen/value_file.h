/// \file
/// The value file of a family run: what the instance file cannot say of an
/// item type, its value and its copies. One block per instance, one line
/// per item type in the instance file's order ("value\tcopies", the value
/// a non-negative integer, the copies a positive integer or "unlimited"),
/// and an empty line after every block, as the instance file has them.
#ifndef SHEETGEN_VALUE_FILE_H_
#define SHEETGEN_VALUE_FILE_H_

#include <sheetgen/types.h>

#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

namespace sheetgen {

/// One item type's line of the value file.
struct item_value {
  int64_t value = 0;   ///< 0 to 2^62
  int64_t copies = 1;  ///< at least 1, or unlimited_copies (-1)

  /// Equal when both fields are.
  friend bool operator==(const item_value&, const item_value&) = default;
};

/// Appends one block of the value file to `out`: a line per item type
/// (values[k], copies[k]), then an empty line. Both spans have one entry
/// per item type; copies of -1 are written "unlimited".
void append_value_block(std::span<const int64_t> values, std::span<const int64_t> copies,
                        std::string& out);

/// Reads a value file strictly, one block at a time, in constant memory.
/// It accepts exactly what append_value_block writes, except that any line
/// may also end in CR LF. Every departure throws sheetgen::error with the
/// message "NAME:LINE: what is wrong".
class value_reader {
 public:
  /// Reads from `in`, which stays the reader's until it is destroyed;
  /// `name` starts every message.
  value_reader(std::istream& in, std::string name);

  /// Reads the next block into `values` (emptied first). Returns false when
  /// the file has no more blocks. Throws for anything the writer would not
  /// have written, a file cut short included, and for a block of more than
  /// MAXMOD lines.
  bool next(std::vector<item_value>& values);

  /// The 1-based line number of the first line of the block that `next`
  /// returned last.
  int64_t block_line() const { return block_line_; }

  /// The line after the last one read.
  int64_t end_line() const { return line_ + 1; }

 private:
  std::istream& in_;
  std::string name_;
  std::string text_;
  int64_t line_ = 0;
  int64_t block_line_ = 0;
};

}  // namespace sheetgen

#endif  // SHEETGEN_VALUE_FILE_H_
