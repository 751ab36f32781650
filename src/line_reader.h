// Reads the instance and the defect file back: blocks of lines of
// "N.000000" numbers separated by tabs, each block ending in an empty line.
// It accepts what sheetgen writes and nothing else, except that any line may
// end in CR LF instead of LF (each line on its own, so mixed files pass).
#ifndef SHEETGEN_LINE_READER_H_
#define SHEETGEN_LINE_READER_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "line_parse.h"

namespace sheetgen {

class worker;

// The shape of one kind of file.
struct line_format {
  int fields;         // numbers per line
  int32_t max_lines;  // most lines in one block
  const char* noun;   // what a line holds, for messages: "item", "defect"
};

class line_reader {
 public:
  // Lines that are not a block's empty line hold `format.fields` numbers
  // (3 or 4).
  line_reader(std::istream& in, std::string name, line_format format);
  ~line_reader();  // waits for a read ahead

  // Reads the next block: add(numbers) for each of its lines, numbers[0 ..
  // Fields - 1] the line's numbers (Fields is format.fields), then true at
  // the block's empty line; false when the file ended where a new block
  // would start. Everything else throws sheetgen::error.
  template <int Fields, typename Add>
  bool next_block(Add&& add);

  // The line of the first line of the block being read or last read.
  int64_t block_line() const { return block_line_; }

  // Longest line sheetgen writes with `fields` numbers, without its end:
  // each number at most 10 digits and ".000000", tabs between them.
  static constexpr std::size_t max_line(int fields) {
    return static_cast<std::size_t>(fields) * (10 + 7) + static_cast<std::size_t>(fields) - 1;
  }

 private:
  struct read_result {
    std::size_t got = 0;
    bool end = false;          // the stream ended (or failed, as a streambuf tells it)
    std::exception_ptr error;  // what the streambuf threw
  };

  char* half(int which) const;          // where half `which`'s data starts
  read_result read(char* to) noexcept;  // fills a half, or to the stream's end
  static void read_ahead(void* self);   // read() into the other half, on reader_
  void refill();
  // The file ended where a line would start: false between blocks, an
  // error inside one.
  bool file_end();
  [[noreturn]] void too_many_lines() const;
  [[noreturn]] void fail_line() const;  // explains why the line at pos_ was refused
  [[noreturn]] void fail(int64_t line, const std::string& what) const;

  std::streambuf* in_;
  std::string name_;
  line_format format_;
  std::size_t longest_;  // a line and its CR LF

  std::unique_ptr<char[]> buffer_;
  const char* pos_;  // the next line
  char* end_;        // past the data read; zeros follow
  bool eof_ = false;
  int current_ = 0;  // the half pos_ is in

  read_result ahead_;  // written by reader_, read once it finished
  bool reading_ = false;
  bool tried_thread_ = false;
  std::unique_ptr<worker> reader_;  // after buffer_: ends before it

  int64_t line_ = 0;  // of the line last read
  int64_t block_line_ = 0;
  int32_t block_lines_ = 0;  // number lines in the current block
};

// The loop every line of a file goes through: kept to what each line
// needs, with the place in the buffer and the counts in registers while
// whole lines are surely in the buffer.
template <int Fields, typename Add>
bool line_reader::next_block(Add&& add) {
  int32_t numbers[Fields];
  for (;;) {
    if (static_cast<std::size_t>(end_ - pos_) < longest_ && !eof_) refill();
    if (pos_ == end_) return file_end();
    const char* const safe = eof_ ? end_ : end_ - longest_;
    const char* pos = pos_;
    int64_t line = line_;
    int32_t lines = block_lines_;
    const auto keep = [&] {
      pos_ = pos;
      line_ = line;
      block_lines_ = lines;
    };
    do {
      ++line;
      if (lines == 0) block_line_ = line;
      if (pos[0] == '\n' || (pos[0] == '\r' && pos[1] == '\n')) {
        pos += pos[0] == '\n' ? 1 : 2;
        lines = 0;
        keep();
        return true;
      }
      if (lines == format_.max_lines) {
        keep();
        too_many_lines();
      }
      const char* next = line_parse::parse_line<Fields>(pos, numbers);
      if (next == nullptr) {
        keep();
        fail_line();
      }
      pos = next;
      ++lines;
      add(static_cast<const int32_t*>(numbers));
    } while (pos < safe);
    keep();
  }
}

}  // namespace sheetgen

#endif  // SHEETGEN_LINE_READER_H_
