// Reads the instance and the defect file back: blocks of lines of
// "N.000000" numbers separated by tabs, each block ending in an empty line.
// It accepts what sheetgen writes and nothing else, except that any line may
// end in CR LF instead of LF (each line on its own, so mixed files pass).
//
// The file comes in halves of 256 KiB. While the caller's thread parses
// one, a second thread reads the next and parses its last part too, as much
// as keeps both threads busy (line_batch.h); the caller's thread takes those
// lines when it gets there. A regular file opened by name may be mapped
// instead (mapped_file.h): its halves are windows of the mapping, parsed where they
// lie, the second thread making the next one resident; only its last few
// hundred bytes are copied, so that zeros follow them as they follow a read. Only the caller's
// thread ever reports a line, so every message and line number is what one thread reading alone
// gives.
#ifndef SHEETGEN_LINE_READER_H_
#define SHEETGEN_LINE_READER_H_

#include <sheetgen/mapped_file.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "line_batch.h"
#include "line_parse.h"
#include "split_lines.h"

namespace sheetgen {

class worker;

// The shape of one kind of file.
struct line_format {
  int fields;         // numbers per line
  int32_t max_lines;  // most lines in one block
  const char* noun;   // what a line holds, for messages: "item", "defect"
};

// What does not depend on the kind of value a line makes: the buffer and
// its reading, the place in the file, and the messages.
class line_source {
 protected:
  line_source(std::istream& in, std::string name, line_format format);
  // Maps `file` where it can, else reads it as a stream; throws file_error
  // when it cannot be opened.
  line_source(const std::filesystem::path& file, std::string name, line_format format);
  ~line_source();
  line_source(const line_source&) = delete;
  line_source& operator=(const line_source&) = delete;

  struct read_result {
    std::size_t got = 0;
    bool end = false;          // the stream ended (or failed, as a streambuf tells it)
    std::exception_ptr error;  // what the streambuf threw
  };

  // Longest line sheetgen writes with `fields` numbers, without its end:
  // each number at most 10 digits and ".000000", tabs between them.
  static constexpr std::size_t max_line(int fields) {
    return static_cast<std::size_t>(fields) * (10 + 7) + static_cast<std::size_t>(fields) - 1;
  }

  char* half(int which) const;  // where half `which`'s buffer starts
  // Fills half `which` at data_[which], or to the stream's end; zeros after
  // a read into the buffer.
  read_result read(int which) noexcept;
  // Where the read after the current half puts its data: the mapping
  // right after it, or the buffer.
  const char* following(int which) const;
  // Where a half of `got` bytes read ahead starts the lines it parses
  // itself, with `share_` of it, in 64ths, left for them (null: none).
  const char* ahead_start(const char* data, const read_result& r) const;
  // The next half's read: the second thread's, once it finished (true),
  // else one made now (false). Balances the parsing: the second thread gets
  // more of it when it had finished before it was waited for, less when not.
  bool next_read(read_result& r);
  // Runs job(self) on the second thread, reading (and parsing) the half
  // after the current one; false where no thread can be started, and the
  // reads take turns with the parsing.
  bool read_ahead_with(void (*job)(void*), void* self);
  void stop_reading_ahead();  // waits for a job in progress
  // Rethrows what the streambuf threw; an OS error as file_error, naming the file.
  [[noreturn]] void read_failed(const std::exception_ptr& e) const;
  [[noreturn]] void too_many_lines() const;
  [[noreturn]] void fail_line() const;  // explains why the line at pos_ was refused
  [[noreturn]] void fail(int64_t line, const std::string& what) const;
  bool file_end();  // the file ended where a line would start

  void open_buffer();  // the constructors' common part

  std::unique_ptr<std::istream> own_;  // a stream opened by name
  std::unique_ptr<mapped_file> map_;   // or the file mapped
  std::streambuf* in_ = nullptr;
  const char* body_end_ = nullptr;  // of the mapping; the rest is copied
  std::string name_;
  line_format format_;
  std::size_t longest_;  // a line and its CR LF

  std::unique_ptr<char[]> buffer_;
  const char* pos_;  // the next line
  const char* end_;  // past the data read; zeros (or more of the mapping) follow
  bool eof_ = false;
  int current_ = 0;      // the half pos_ is in
  const char* data_[2];  // where each half's data starts

  read_result ahead_;  // written by the second thread, read once it finished
  bool reading_ = false;
  bool tried_thread_ = false;
  int share_ = 16;  // of a half read ahead, the 64ths that the second thread parses

  int64_t line_ = 0;  // of the line last read
  int64_t block_line_ = 0;
  int32_t block_lines_ = 0;  // number lines in the current block

  std::unique_ptr<worker> reader_;  // last: ends before everything it uses
};

template <class Value>
class line_reader : line_source {
 public:
  line_reader(std::istream& in, std::string name, line_format format)
      : line_source(in, std::move(name), format),
        parse_(line_batch::fastest_parser<Value>()),
        mine_(1024),
        theirs_{line_batch::batch<Value>(8192), line_batch::batch<Value>(8192)} {}
  line_reader(const std::filesystem::path& file, std::string name, line_format format)
      : line_source(file, std::move(name), format),
        parse_(line_batch::fastest_parser<Value>()),
        mine_(1024),
        theirs_{line_batch::batch<Value>(8192), line_batch::batch<Value>(8192)} {
    // A large regular file read (not mapped) is parsed on every core.
    if (map_ == nullptr)
      split_ = split_lines<Value>::start(split_file::open(file), format.max_lines, parse_);
  }
  ~line_reader();  // waits for a read ahead: it fills this object's batches

  // Reads the next block into `out` (emptied first): true at its empty
  // line, false when the file ended where a new block would start.
  // Everything else throws sheetgen::error.
  bool next_block(std::vector<Value>& out);

  // Whether the file is being parsed on several threads (for tests).
  bool split() const { return split_ != nullptr; }

  // The line of the first line of the block being read or last read.
  int64_t block_line() const { return block_line_; }

 private:
  static constexpr int fields = line_batch::layout<Value>::fields;

  void refill();
  static void read_ahead(void* self);  // on the second thread
  // Hands on b's lines up to its next empty line; true at that line.
  bool take(line_batch::batch<Value>& b, std::vector<Value>& out);
  // The line at pos_ the careful way; true if it was a block's empty line.
  bool careful_line(std::vector<Value>& out);

  const line_batch::parser<Value> parse_;
  line_batch::batch<Value> mine_;                    // parsed on this thread
  line_batch::batch<Value> theirs_[2];               // parsed on the second, per half
  const char* their_start_[2] = {nullptr, nullptr};  // where those lines begin
  line_batch::batch<Value>* taking_ = nullptr;       // lines being handed on
  std::unique_ptr<split_lines<Value>> split_;  // the file parsed on every core, while it lasts
  // next_block, one thread reading from where the stream is.
  bool read_block(std::vector<Value>& out);
};

template <class Value>
line_reader<Value>::~line_reader() {
  stop_reading_ahead();
}

template <class Value>
bool line_reader<Value>::next_block(std::vector<Value>& out) {
  if (split_ != nullptr) {
    const auto got = split_->next_block(out);
    if (got != split_lines<Value>::outcome::gave_up) {
      block_line_ = split_->block_line();
      return got == split_lines<Value>::outcome::block;
    }
    // From the start on one thread, which words what is wrong: past the
    // blocks given already (the same bytes), to the one given up on.
    const int64_t given = split_->blocks();
    split_.reset();
    for (int64_t k = 0; k < given; ++k) {
      if (!read_block(out)) return false;  // cut short since
    }
  }
  return read_block(out);
}

template <class Value>
bool line_reader<Value>::read_block(std::vector<Value>& out) {
  out.clear();
  for (;;) {
    if (taking_ != nullptr) {
      if (take(*taking_, out)) return true;
      pos_ = taking_->stop;
      taking_ = nullptr;
      continue;
    }
    if (static_cast<std::size_t>(end_ - pos_) < longest_ && !eof_) {
      refill();
      continue;
    }
    if (pos_ == end_) return file_end();
    const char* limit = eof_ ? end_ : end_ - longest_;
    const char* const theirs = their_start_[current_];
    if (theirs != nullptr) {
      if (pos_ == theirs) {
        their_start_[current_] = nullptr;
        taking_ = &theirs_[current_];
        continue;
      }
      if (theirs > pos_ && theirs < limit) limit = theirs;
    }
    mine_.clear();
    mine_.stop = parse_(pos_, limit, mine_);
    if (mine_.count + mine_.end_count > 0) {
      taking_ = &mine_;
      continue;
    }
    if (careful_line(out)) return true;
  }
}

template <class Value>
bool line_reader<Value>::take(line_batch::batch<Value>& b, std::vector<Value>& out) {
  const uint32_t upto = b.ends_taken < b.end_count ? b.ends[b.ends_taken] : b.count;
  if (upto > b.taken) {
    const auto n = static_cast<int32_t>(upto - b.taken);
    if (block_lines_ == 0) block_line_ = line_ + 1;
    if (n > format_.max_lines - block_lines_) {
      line_ += format_.max_lines - block_lines_ + 1;
      too_many_lines();
    }
    // One copy of bytes: insert() would copy value by value, the members
    // having defaults.
    const std::size_t size = out.size();
    out.resize(size + static_cast<std::size_t>(n));
    std::memcpy(out.data() + size, b.values() + b.taken,
                static_cast<std::size_t>(n) * sizeof(Value));
    line_ += n;
    block_lines_ += n;
    b.taken = upto;
  }
  if (b.ends_taken == b.end_count) return false;
  ++b.ends_taken;
  ++line_;
  if (block_lines_ == 0) block_line_ = line_;
  block_lines_ = 0;
  return true;
}

template <class Value>
bool line_reader<Value>::careful_line(std::vector<Value>& out) {
  ++line_;
  if (block_lines_ == 0) block_line_ = line_;
  if (pos_[0] == '\n' || (pos_[0] == '\r' && pos_[1] == '\n')) {
    pos_ += pos_[0] == '\n' ? 1 : 2;
    block_lines_ = 0;
    return true;
  }
  if (block_lines_ == format_.max_lines) too_many_lines();
  int32_t numbers[fields];
  const char* next = line_parse::parse_line<fields>(pos_, numbers);
  if (next == nullptr) fail_line();
  out.push_back(line_batch::make<Value>(numbers));
  ++block_lines_;
  pos_ = next;
  return false;
}

template <class Value>
void line_reader<Value>::read_ahead(void* self) {
  auto& r = *static_cast<line_reader*>(self);
  const int half = 1 - r.current_;
  const char* const data = r.data_[half];
  r.ahead_ = r.read(half);
  line_batch::batch<Value>& b = r.theirs_[half];
  b.clear();
  const char* start = r.ahead_start(data, r.ahead_);
  if (start != nullptr) {
    const char* const limit = data + r.ahead_.got - (r.ahead_.end ? 0 : r.longest_);
    b.stop = r.parse_(start, limit, b);
  }
  r.their_start_[half] = start;
}

template <class Value>
void line_reader<Value>::refill() {
  const int next = 1 - current_;
  read_result r;
  if (!next_read(r)) their_start_[next] = nullptr;
  const char* const data = data_[next];
  if (data != end_) {
    // Not right after the data before (a mapping's is): what is left of
    // it, part of a line, goes before the new data.
    const auto kept = static_cast<std::size_t>(end_ - pos_);
    if (kept > 0) std::memmove(half(next) - kept, pos_, kept);
    pos_ = data - kept;
  } else {
    map_->release(pos_ - line_batch::reach_back);
  }
  end_ = data + r.got;
  eof_ = r.end;
  current_ = next;
  if (r.error) read_failed(r.error);
  if (eof_) return;
  data_[1 - next] = following(1 - next);
  // More to come: read (and parse) it while this half is parsed. A file
  // within one half never starts the thread.
  read_ahead_with(&read_ahead, this);
}

}  // namespace sheetgen

#endif  // SHEETGEN_LINE_READER_H_
