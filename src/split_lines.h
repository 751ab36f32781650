// A large regular file's lines parsed on every core: the file is cut into
// pieces of a fixed size, each piece's lines (those that start in it) read
// and parsed by whichever thread is free (the caller's among them, while
// the piece it needs next is not ready), and the pieces handed to the
// caller's thread in file order, a bounded number in hand at once.
//
// Lines are parsed here as line_reader parses them (line_batch.h, then
// line_parse.h for the few the fast path leaves). The first piece that
// holds a line either refuses, a block that runs past the file's end or
// grows too long, or a piece that does not read as the size the file had
// at the start, ends this way of reading: the caller then reads
// the file again from its start on one thread (line_reader), past the
// blocks given already, and that reading finds and words whatever is wrong,
// so every block, line number and message is the one-thread reading's.
#ifndef SHEETGEN_SPLIT_LINES_H_
#define SHEETGEN_SPLIT_LINES_H_

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "line_batch.h"

namespace sheetgen {

// The sizes the split uses; tests make them small to split small texts.
struct split_sizes {
  std::size_t piece = std::size_t{512} << 10;  // bytes of the file a thread parses at a time
  uint64_t smallest_file = uint64_t{8} << 20;  // smaller files are read on one thread
  unsigned threads = 0;  // besides the caller's; 0: one per core less one, at most 8
};
// The sizes in force, and a way to change them (for tests; not while a
// split reading runs).
split_sizes split_reading();
void set_split_reading(const split_sizes& sizes);

// The file's bytes as the split reads them: by offset, from any thread.
class split_file {
 public:
  // Null where the split does not apply: not a regular file, smaller than
  // split_reading().smallest_file, a single core, Windows, or the file
  // cannot be opened (the one-thread reading then says why).
  static std::unique_ptr<split_file> open(const std::filesystem::path& file);
  ~split_file();
  split_file(const split_file&) = delete;
  split_file& operator=(const split_file&) = delete;

  uint64_t size() const { return size_; }
  // Up to n bytes from `offset`; fewer at the file's end, or on an error.
  std::size_t read(char* to, std::size_t n, uint64_t offset) const;

 private:
  split_file(int fd, uint64_t size) : fd_(fd), size_(size) {}
  int fd_;
  uint64_t size_;
};

template <class Value>
class split_lines {
 public:
  enum class outcome { block, end, gave_up };

  // Starts the threads; null where none can be started.
  static std::unique_ptr<split_lines> start(std::unique_ptr<split_file> file, int32_t max_lines,
                                            line_batch::parser<Value> parse) {
    if (file == nullptr) return nullptr;
    std::unique_ptr<split_lines> s(new split_lines(std::move(file), max_lines, parse));
    try {
      for (unsigned t = 0; t < s->threads_; ++t)
        s->workers_.emplace_back(&split_lines::work, s.get());
    } catch (const std::system_error&) {
      return nullptr;  // the destructor ends those started
    }
    return s;
  }

  ~split_lines() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    freed_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  // The next block into `out` (emptied first): `block` at its empty line,
  // `end` where the file ends where a block would start, `gave_up` when
  // the one-thread reading must go on past the blocks() given.
  outcome next_block(std::vector<Value>& out) {
    out.clear();
    for (;;) {
      if (current_ == nullptr && !take_piece()) return outcome::gave_up;
      if (current_ == nullptr) {
        // The whole file read: it ends where a block would start, or the
        // one-thread reading tells what is wrong with its last block.
        if (block_lines_ > 0) return outcome::gave_up;
        return outcome::end;
      }
      piece& p = *current_;
      const std::size_t upto = p.ends_taken < p.ends.size() ? p.ends[p.ends_taken] : p.values.count;
      if (upto > p.taken) {
        const auto n = static_cast<int64_t>(upto - p.taken);
        if (block_lines_ == 0) block_line_ = line_ + 1;
        if (n > max_lines_ - block_lines_) return outcome::gave_up;
        const std::size_t size = out.size();
        out.resize(size + static_cast<std::size_t>(n));
        std::memcpy(out.data() + size, p.values.values() + p.taken,
                    static_cast<std::size_t>(n) * sizeof(Value));
        line_ += n;
        block_lines_ += n;
        p.taken = upto;
      }
      if (p.ends_taken < p.ends.size()) {
        ++p.ends_taken;
        ++line_;
        if (block_lines_ == 0) block_line_ = line_;
        block_lines_ = 0;
        ++blocks_;
        return outcome::block;
      }
      release_piece();
    }
  }

  // The first line of the block last given.
  int64_t block_line() const { return block_line_; }
  // Blocks given so far.
  int64_t blocks() const { return blocks_; }

 private:
  // One piece's lines, parsed.
  struct piece {
    explicit piece(uint32_t lines) : values(lines) {}
    line_batch::batch<Value> values;  // parsed into in place: its values, not its ends
    std::vector<uint32_t> ends;       // per empty line: the piece's values before it
    uint64_t begin = 0;               // where its first line starts
    uint64_t end = 0;                 // where the line after its last starts
    bool whole = false;               // every line in it parsed
    bool ready = false;
    std::size_t taken = 0;
    std::size_t ends_taken = 0;
  };
  static constexpr unsigned slots_per_thread = 2;
  // Bytes read past a piece's end: its last line, and what the parser may
  // look at beyond a line's start.
  static constexpr std::size_t margin = 256;
  static constexpr std::size_t front = 64;  // zeros before the data: the parser's reach back

  split_lines(std::unique_ptr<split_file> file, int32_t max_lines, line_batch::parser<Value> parse)
      : file_(std::move(file)), parse_(parse), max_lines_(max_lines) {
    const split_sizes sizes = split_reading();
    piece_size_ = std::max<std::size_t>(sizes.piece, 2 * margin);
    // The caller's thread parses too, whenever the piece it needs is not
    // ready: one thread fewer than the cores keeps each on a core of its own.
    unsigned threads = sizes.threads;
    if (threads == 0) threads = std::min(8u, std::max(2u, std::thread::hardware_concurrency()) - 1);
    threads_ = threads;
    pieces_ = (file_->size() + piece_size_ - 1) / piece_size_;
    // As many values as a piece of the shortest lines the fast path takes
    // ("1.000000\t...") makes: the parser never runs out of room.
    const auto lines =
        static_cast<uint32_t>(piece_size_ / (9 * line_batch::layout<Value>::fields) + 1);
    const unsigned slots = (threads_ + 1) * slots_per_thread;
    slots_.reserve(slots);
    for (unsigned k = 0; k < slots; ++k) slots_.emplace_back(lines);
  }

  piece& slot_of(uint64_t k) { return slots_[k % slots_.size()]; }

  // Waits for the next piece, parsing pieces itself while it waits; false
  // when the one-thread reading must take over. Leaves current_ null after
  // the last piece.
  bool take_piece() {
    if (next_ >= pieces_) return true;
    piece& p = slot_of(next_);
    {
      std::unique_lock lock(mutex_);
      while (!p.ready) {
        // The piece is another thread's to finish: parse the next one
        // nobody has taken, where a slot is free, rather than wait idle.
        if (claimable()) {
          const uint64_t k = claimed_++;
          lock.unlock();
          if (own_bytes_.empty()) own_bytes_.resize(bytes_size());
          parse_claimed(k, own_bytes_);
          lock.lock();
          continue;
        }
        waiting_ = true;
        ready_.wait(lock);
        waiting_ = false;
      }
    }
    // Each piece starts where the one before ended; the first at the start.
    if (!p.whole || p.begin != expected_begin_) return false;
    expected_begin_ = p.end;
    // The last piece ends at the file's end as its size was.
    if (next_ + 1 == pieces_ && p.end != file_->size()) return false;
    current_ = &p;
    return true;
  }

  void release_piece() {
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      current_->ready = false;
      ++next_;
      wake = idle_ > 0;
    }
    current_ = nullptr;
    if (wake) freed_.notify_all();
  }

  // Under the mutex: a piece is left to take and its slot is free (the
  // pieces are taken in order, so the slot's last piece has been released).
  bool claimable() const { return claimed_ < pieces_ && claimed_ < next_ + slots_.size(); }

  std::size_t bytes_size() const {
    return front + piece_size_ + margin + line_batch::reach_ahead + 64;
  }

  // Parses piece k, taken by this thread, and marks it ready.
  void parse_claimed(uint64_t k, std::vector<char>& bytes) {
    piece& p = slot_of(k);
    try {
      parse_piece(k, bytes, p);
    } catch (...) {  // no memory for its empty lines: the one-thread reading goes on
      p.whole = false;
    }
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      p.ready = true;
      wake = waiting_;
    }
    if (wake) ready_.notify_one();
  }

  // A thread's work: the next piece nobody has taken, while there is one.
  void work() {
    std::vector<char> bytes(bytes_size(), '\0');
    for (;;) {
      uint64_t k = 0;
      {
        std::unique_lock lock(mutex_);
        const auto go = [&] { return stopping_ || claimed_ >= pieces_ || claimable(); };
        if (!go()) {
          ++idle_;
          freed_.wait(lock, go);
          --idle_;
        }
        if (stopping_ || claimed_ >= pieces_) return;
        k = claimed_++;
      }
      parse_claimed(k, bytes);
    }
  }

  // Reads piece k (the lines that start in its bytes) and parses them.
  void parse_piece(uint64_t k, std::vector<char>& bytes, piece& p) {
    line_batch::batch<Value>& batch = p.values;
    batch.clear();
    p.ends.clear();
    p.taken = p.ends_taken = 0;
    p.whole = false;
    const uint64_t nominal = k * piece_size_;
    const uint64_t nominal_end = std::min<uint64_t>(nominal + piece_size_, file_->size());
    const bool last = k + 1 == pieces_;
    // From the byte before the piece, which tells whether a line starts at its first.
    const uint64_t from = k == 0 ? 0 : nominal - 1;
    const std::size_t want = static_cast<std::size_t>(nominal_end - from) + margin;
    char* const data = bytes.data() + front;
    const std::size_t got = file_->read(data, want, from);
    std::memset(data + got, 0, bytes.size() - front - got);
    // Short of the size the file had: it changed, which the one-thread reading tells.
    if (got < nominal_end - from) return;
    // More than that in the last piece: it grew.
    if (last && got > nominal_end - from) return;
    const char* pos = data;
    if (k > 0) {
      const auto* lf = static_cast<const char*>(std::memchr(data, '\n', got));
      if (lf == nullptr) return;
      pos = lf + 1;
    }
    const char* const limit = data + (nominal_end - from);
    p.begin = from + static_cast<uint64_t>(pos - data);
    if (pos > limit) return;  // a line longer than a piece
    while (pos < limit) {
      // The values go on filling the batch; its few places for empty
      // lines are emptied into `ends` after each call.
      const char* stop = parse_(pos, limit, batch);
      p.ends.insert(p.ends.end(), batch.ends, batch.ends + batch.end_count);
      batch.end_count = 0;
      if (stop == pos) {
        // A line for the careful parser (a CR LF end, a number of nine or
        // ten digits), as line_reader takes it; one it refuses ends the split.
        pos = careful_line(pos, p);
        if (pos == nullptr) return;
        continue;
      }
      pos = stop;
    }
    p.end = from + static_cast<uint64_t>(pos - data);
    // The last line of the last piece ends with the file.
    if (last && p.end != file_->size()) return;
    p.whole = true;
  }

  // The line at `at` into p: an empty line (LF or CR LF) or one of
  // numbers; the next line's start, or null for a line refused.
  static const char* careful_line(const char* at, piece& p) {
    if (at[0] == '\n' || (at[0] == '\r' && at[1] == '\n')) {
      p.ends.push_back(p.values.count);
      return at + (at[0] == '\n' ? 1 : 2);
    }
    int32_t numbers[line_batch::layout<Value>::fields];
    const char* next = line_parse::parse_line<line_batch::layout<Value>::fields>(at, numbers);
    // Never out of room (no line either parser takes is shorter than the
    // fast path's shortest), but the check is cheap.
    if (next == nullptr || p.values.count >= p.values.capacity()) return nullptr;
    p.values.values()[p.values.count++] = line_batch::make<Value>(numbers);
    return next;
  }

  std::unique_ptr<split_file> file_;
  line_batch::parser<Value> parse_;
  int32_t max_lines_;
  std::size_t piece_size_ = 0;
  unsigned threads_ = 2;
  uint64_t pieces_ = 0;
  std::vector<piece> slots_;

  std::mutex mutex_;
  std::condition_variable ready_;  // a piece parsed, for the caller
  std::condition_variable freed_;  // a slot free, or the end, for the threads
  uint64_t next_ = 0;              // the piece the caller takes next (the mutex's once threads run)
  uint64_t claimed_ = 0;           // the pieces taken by a thread to parse, the caller's included
  bool stopping_ = false;
  bool waiting_ = false;  // the caller, for a piece
  unsigned idle_ = 0;     // threads waiting for a slot

  // The caller's alone:
  piece* current_ = nullptr;
  uint64_t expected_begin_ = 0;
  int64_t line_ = 0;
  int64_t block_line_ = 0;
  int64_t block_lines_ = 0;
  int64_t blocks_ = 0;
  std::vector<char> own_bytes_;  // where the caller reads the pieces it parses

  std::vector<std::thread> workers_;  // last: they end before everything they use
};

}  // namespace sheetgen

#endif  // SHEETGEN_SPLIT_LINES_H_
