// Reads the instance and the defect file back: blocks of lines of
// "N.000000" numbers separated by tabs, each block ending in an empty line.
// It accepts what sheetgen writes and nothing else, except that any line may
// end in CR LF instead of LF (each line on its own, so mixed files pass).
#ifndef SHEETGEN_LINE_READER_H_
#define SHEETGEN_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace sheetgen {

// The shape of one kind of file.
struct line_format {
  int fields;         // numbers per line
  int32_t max_lines;  // most lines in one block
  const char* noun;   // what a line holds, for messages: "item", "defect"
};

class line_reader {
 public:
  // Lines that are not a block's empty line hold `format.fields` numbers.
  line_reader(std::istream& in, std::string name, line_format format);

  enum class result { numbers, block_end, file_end };

  // Reads the next line of the current block. `numbers`: the line's numbers
  // are in out[0 .. fields - 1]. `block_end`: the block's empty line.
  // `file_end`: the file ended where a new block would start. Everything
  // else throws sheetgen::error.
  result next(int32_t* out);

  // The line of the first line of the block being read or last read.
  int64_t block_line() const { return block_line_; }

  // Longest line sheetgen writes with `fields` numbers, without its end:
  // each number at most 10 digits and ".000000", tabs between them.
  static constexpr std::size_t max_line(int fields) {
    return static_cast<std::size_t>(fields) * (10 + 7) + static_cast<std::size_t>(fields) - 1;
  }

 private:
  bool parse(int32_t* out);  // one line at pos_; false if it is malformed
  void refill();
  [[noreturn]] void fail_line() const;  // explains why parse refused
  [[noreturn]] void fail(int64_t line, const std::string& what) const;

  std::streambuf* in_;
  std::string name_;
  line_format format_;
  std::size_t longest_;  // a line and its CR LF

  std::unique_ptr<char[]> buffer_;
  const char* pos_;  // the next line
  char* end_;        // past the data read; zero padding follows
  bool eof_ = false;

  int64_t line_ = 0;  // of the line last read
  int64_t block_line_ = 0;
  int32_t block_lines_ = 0;  // number lines in the current block
};

}  // namespace sheetgen

#endif  // SHEETGEN_LINE_READER_H_
