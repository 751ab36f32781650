#include "inspect/verify.h"

#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/mapped_file.h>
#include <sheetgen/run_passes.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "files/files.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// How much of a differing line is shown, and read to show it.
constexpr std::size_t shown_line = 200;

// A line as people can read it: tabs and other control bytes spelled out.
std::string visible(std::string_view text) {
  return sheetgen::visible_bytes(text.substr(0, shown_line)) +
         (text.size() > shown_line ? "..." : "");
}

std::string_view trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

}  // namespace

file_comparison::file_comparison(std::string name, std::size_t block_room)
    : name_(std::move(name)) {
  try {
    map_ = sheetgen::mapped_file::open(name_, name_);
    if (map_ == nullptr) {
      in_ = open_input(name_);
      buffer_.resize(block_room);
    }
  } catch (const sheetgen::error& e) {
    outcome_ = outcome::missing;
    missing_ = e.what();
  }
}

file_comparison::~file_comparison() = default;

void file_comparison::compare(std::string_view expected, int64_t lines) {
  if (done()) return;
  std::size_t got = 0;
  const char* bytes = buffer_.data();
  if (map_ != nullptr) {
    got = std::min(expected.size(), map_->size() - at_);
    bytes = map_->data() + at_;
    // Whole MiBs made resident at once, ahead of the comparison, and the
    // ones compared let go: the page faults of a MiB in one call.
    constexpr std::size_t step = std::size_t{1} << 20;
    if (at_ + got > populated_ && populated_ < map_->size()) {
      const std::size_t upto = std::min(map_->size(), (at_ + got + 2 * step) & ~(step - 1));
      map_->prefetch(map_->data() + populated_, upto - populated_);
      populated_ = upto;
    }
    at_ += got;
    map_->release(bytes);
  } else {
    try {
      got = read(buffer_.data(), expected.size());
    } catch (const std::system_error& e) {
      return read_failed(e);
    }
  }
  if (got == expected.size() && std::memcmp(bytes, expected.data(), got) == 0) {
    line_ += lines;
    return;
  }
  if (changed()) return;
  const std::string_view found(bytes, got);
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(found.begin(), found.end(), expected.begin()).first - found.begin());
  // The line that holds the first differing byte, in both versions.
  const std::size_t previous_end = expected.substr(0, at).rfind('\n');
  const std::size_t start = previous_end == std::string_view::npos ? 0 : previous_end + 1;
  line_ +=
      std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(start), '\n') + 1;
  expected_ = std::string(expected.substr(start, expected.find('\n', start) - start));
  found_ = std::string(found.substr(start, shown_line + 1));
  const std::size_t end = found_.find('\n');
  if (end != std::string::npos) {
    found_.resize(end);
  } else if (got == expected.size()) {
    read_rest_of_line();
  }
  outcome_ = at == got && got < expected.size() ? outcome::shorter : outcome::differs;
}

void file_comparison::finish() {
  if (done()) return;
  if (map_ != nullptr) {
    if (changed() || at_ == map_->size()) return;
    outcome_ = outcome::longer;
    ++line_;
    read_rest_of_line();
    return;
  }
  try {
    if (in_.rdbuf()->sgetc() == std::char_traits<char>::eof()) return;
  } catch (const std::system_error& e) {
    return read_failed(e);
  }
  outcome_ = outcome::longer;
  ++line_;
  read_rest_of_line();
}

void file_comparison::read_failed(const std::system_error& e) {
  // libstdc++'s filebuf throws the read's errno (EIO from a failing disk):
  // reported as a file that cannot be opened is, with the reason.
  outcome_ = outcome::missing;
  missing_ = file_error(name_, e.code()).what();
}

void file_comparison::report(std::ostream& out, std::string_view note) const {
  const std::string where = name_ + ":" + std::to_string(line_) + ": ";
  switch (outcome_) {
    case outcome::same:
      out << name_ << ": identical" << note << '\n';
      return;
    case outcome::missing:
      out << missing_ << '\n';
      return;
    case outcome::differs:
      out << where << "differs\n";
      break;
    case outcome::shorter:
      out << where << "file ends early at line " << line_ << '\n';
      break;
    case outcome::longer:
      out << where << "file has more after line " << line_ - 1 << '\n';
      break;
  }
  const bool ends = outcome_ == outcome::shorter && found_.empty();
  out << "  expected: " << (outcome_ == outcome::longer ? "(end of file)" : visible(expected_))
      << "\n  found:    " << (ends ? "(end of file)" : visible(found_)) << '\n';
}

std::size_t file_comparison::read(char* to, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const std::streamsize r = in_.rdbuf()->sgetn(to + got, static_cast<std::streamsize>(n - got));
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

bool file_comparison::changed() {
  // A mapped file cut short (or grown): the zeros read where it was cut are
  // no difference of the run's.
  if (map_ == nullptr || !map_->changed()) return false;
  outcome_ = outcome::missing;
  missing_ = name_ + " changed while it was being read";
  return true;
}

void file_comparison::read_rest_of_line() {
  if (map_ != nullptr) {
    const std::string_view rest(map_->data() + at_, map_->size() - at_);
    found_ += rest.substr(0, std::min(rest.find('\n'), shown_line + 1 - found_.size()));
    return;
  }
  std::streambuf& in = *in_.rdbuf();
  try {
    for (int c = in.sbumpc();
         c != std::char_traits<char>::eof() && c != '\n' && found_.size() <= shown_line;
         c = in.sbumpc()) {
      found_ += static_cast<char>(c);
    }
  } catch (const std::system_error&) {
    // What was read of the line shows the difference already found.
  }
}

namespace {

// A file compared block by block as the run is generated, with the work
// on two threads: this one generates each block and formats a part of it,
// a second one formats the rest, reads the file and compares. The part
// formatted here follows the load: more while the second thread lags, less
// while it waits. Two blocks in hand at most, and each compared in pieces
// of `piece` lines, small enough to stay in the processor's cache.
template <class Value>
class block_comparer {
 public:
  static constexpr std::size_t piece = 1024;

  // Writes a block as sheetgen does (lines, then the empty line).
  using writer = char* (*)(std::span<const Value>, char*);

  // `largest`: most values in a block; `line_room`: bytes put_ may take a line.
  block_comparer(file_comparison& file, std::size_t largest, std::size_t line_room, writer put)
      : file_(file), put_(put), buffer_(piece * line_room + 1) {
    for (slot& s : slots_) {
      s.values.reserve(largest);
      s.text.resize(largest * line_room + 1);
      s.pieces.reserve(largest / piece + 1);
    }
    try {
      thread_ = std::thread([this] { compare_blocks(); });
    } catch (const std::system_error&) {
      // No second thread (too little address space for its stack): the
      // blocks are compared here, as they are generated.
    }
  }

  ~block_comparer() {
    if (!thread_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  block_comparer(const block_comparer&) = delete;
  block_comparer& operator=(const block_comparer&) = delete;

  // The next block as generated. Past a difference nothing is compared.
  void add(std::span<const Value> values) {
    if (stopped()) return;
    if (!thread_.joinable()) {
      share_ = 64;
      fill(slots_[0], values);
      compare(slots_[0]);
      return;
    }
    std::unique_lock lock(mutex_);
    // Both slots taken: the second thread lags, so more is formatted here.
    const bool lagging = handed_ - compared_ == 2;
    share_ = std::clamp(share_ + (lagging ? 4 : -4), 0, 64);
    changed_.wait(lock, [this] { return handed_ - compared_ < 2; });
    slot& s = slots_[handed_ % 2];
    lock.unlock();
    fill(s, values);
    lock.lock();
    ++handed_;
    lock.unlock();
    changed_.notify_all();
  }

  // Whether a difference is known (and nothing more is compared).
  bool stopped() const { return stopped_.load(std::memory_order_relaxed); }

  // Waits until every block handed on is compared; throws what comparing threw.
  void finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return compared_ == handed_; });
    if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
  }

 private:
  struct slot {
    std::vector<Value> values;        // the block as generated
    std::size_t formatted = 0;        // of them, written to `text` here
    std::vector<char> text;           // their lines
    std::vector<std::size_t> pieces;  // where each piece of them ends in `text`
  };

  // The values, and the lines of about the first share_ 64ths of them, in
  // whole pieces.
  void fill(slot& s, std::span<const Value> values) {
    s.values.assign(values.begin(), values.end());
    const std::size_t share = values.size() * static_cast<std::size_t>(share_) / 64;
    s.formatted = std::min(values.size(), (share + piece / 2) / piece * piece);
    s.pieces.clear();
    char* at = s.text.data();
    for (std::size_t i = 0; i < s.formatted; i += piece) {
      // The writer ends a block with its empty line; the next piece goes over it.
      at = put_(values.subspan(i, std::min(piece, s.formatted - i)), at) - 1;
      s.pieces.push_back(static_cast<std::size_t>(at - s.text.data()));
    }
  }

  // The block's pieces in order, each from the text made here or formatted
  // now; the last one with the block's empty line (an empty block: that
  // line alone).
  void compare(const slot& s) {
    const std::size_t n = s.values.size();
    for (std::size_t item = 0, k = 0;; ++k) {
      const std::size_t lines = std::min(piece, n - item);
      const char* text = buffer_.data();
      const char* end = nullptr;
      if (item < s.formatted) {  // whole pieces: the k-th is among them
        text = s.text.data() + (k == 0 ? 0 : s.pieces[k - 1]);
        end = s.text.data() + s.pieces[k];
      } else {
        end = put_(std::span<const Value>(s.values).subspan(item, lines), buffer_.data()) - 1;
      }
      item += lines;
      const bool last = item == n;  // the empty line's LF follows the piece
      file_.compare(std::string_view(text, static_cast<std::size_t>(end - text) + last),
                    static_cast<int64_t>(lines + last));
      if (file_.done()) {
        stopped_.store(true, std::memory_order_relaxed);
        return;
      }
      if (last) return;
    }
  }

  void compare_blocks() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return compared_ < handed_ || closing_; });
      if (compared_ == handed_) return;
      slot& s = slots_[compared_ % 2];
      lock.unlock();
      try {
        compare(s);
      } catch (...) {  // no memory for a message: handed to the generating thread
        stopped_.store(true, std::memory_order_relaxed);
        lock.lock();
        failed_ = std::current_exception();
        lock.unlock();
      }
      lock.lock();
      ++compared_;
      changed_.notify_all();
    }
  }

  file_comparison& file_;  // the second thread's alone while blocks are in hand
  writer put_;
  std::vector<char> buffer_;  // the second thread's piece of text
  slot slots_[2];
  int share_ = 16;  // of each block, the 64ths formatted on the generating thread
  std::atomic<bool> stopped_ = false;  // a difference is found

  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t handed_ = 0;    // blocks handed to the second thread
  int64_t compared_ = 0;  // and compared
  bool closing_ = false;
  std::exception_ptr failed_;
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace

run_verdict verify_run_files(const sheetgen::run_parameters& answers, std::ostream& out,
                             const sheetgen::progress_callback& progress,
                             const written_bytes& written) {
  using sheetgen::defect_line_room;
  using sheetgen::item_line_room;
  sheetgen::run_passes passes(answers, progress);
  const sheetgen::run_parameters& p = passes.parameters();
  const auto items = static_cast<std::size_t>(p.no_items);
  const auto defects = static_cast<std::size_t>(std::max(p.no_defects, 0));
  // Without `written`, a block is compared a piece at a time on a second
  // thread; with it, every block is formatted whole here, for its bytes.
  constexpr std::size_t piece = block_comparer<rectangle>::piece;
  std::vector<char> block;
  if (written) block.resize(std::max(items * item_line_room, defects * defect_line_room) + 1);
  // The bytes sheetgen writes for a block, formatted by its own writers.
  const auto text = [&block](const char* end) {
    return std::string_view(block.data(), static_cast<std::size_t>(end - block.data()));
  };

  file_comparison instance_file(p.filename,
                                (written ? items : std::min(items, piece)) * item_line_room + 1);
  std::optional<std::string> failure;
  int32_t done = 0;
  {
    std::optional<block_comparer<rectangle>> blocks;
    if (!written) blocks.emplace(instance_file, items, item_line_room, &sheetgen::put_item_block);
    try {
      passes.items([&](int32_t instance, std::span<const rectangle> generated) {
        // Past a difference the run is still generated: the defects come after it.
        if (blocks) {
          blocks->add(generated);
        } else {
          const std::string_view bytes = text(sheetgen::put_item_block(generated, block.data()));
          instance_file.compare(bytes, static_cast<int64_t>(generated.size()) + 1);
          written(false, bytes);
        }
        done = instance;
        return true;
      });
    } catch (const sheetgen::error& e) {
      // sheetgen's repair failure: it keeps the blocks finished before it.
      failure = e.what();
    }
    if (blocks) blocks->finish();
  }
  instance_file.finish();

  if (failure) {
    out << "The run stops at instance " << done + 1 << " of " << p.no_instances
        << ", with sheetgen's message: " << trimmed(*failure) << '\n';
    instance_file.report(out, " (the " + count_of(done, "instance") + " before the failure)");
    if (p.no_defects < 1) return {instance_file.identical(), true};
    std::error_code ec;
    if (std::filesystem::exists(p.defectfilename, ec)) {
      out << p.defectfilename
          << ": exists, but the run writes no defect file after the failure (left from another "
             "run?)\n";
      return {false, true};
    }
    out << p.defectfilename << ": not written, as sheetgen writes none after the failure\n";
    return {instance_file.identical(), true};
  }
  instance_file.report(out);
  if (p.no_defects < 1) return {instance_file.identical(), false};

  file_comparison defect_file(
      p.defectfilename, (written ? defects : std::min(defects, piece)) * defect_line_room + 1);
  {
    std::optional<block_comparer<placed_defect>> blocks;
    if (!written) {
      blocks.emplace(defect_file, defects, defect_line_room, &sheetgen::put_defect_block);
    }
    passes.defects([&](int32_t, std::span<const placed_defect> generated) {
      if (blocks) {
        blocks->add(generated);
        return !blocks->stopped();  // nothing comes after the defects
      }
      const std::string_view bytes = text(sheetgen::put_defect_block(generated, block.data()));
      defect_file.compare(bytes, static_cast<int64_t>(generated.size()) + 1);
      written(true, bytes);
      return true;
    });
    if (blocks) blocks->finish();
  }
  defect_file.finish();
  defect_file.report(out);
  return {instance_file.identical() && defect_file.identical(), false};
}

bool verify_run(const sheetgen::run_parameters& answers, std::ostream& out,
                const sheetgen::progress_callback& progress) {
  return verify_run_files(answers, out, progress, {}).identical;
}

}  // namespace sheetkit
