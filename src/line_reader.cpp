#include "line_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "sheetgen/types.h"
#include "sheetgen/visible_bytes.h"
#include "worker.h"

namespace sheetgen {

namespace {

// Large reads for speed, a fixed size for bounded memory: two halves, one
// read on a second thread while lines are taken from the other (halves of
// 256 KiB: with 64 KiB the hand-overs cost more than the reads overlap).
// Before each half's data is room for the unread rest of the other (less
// than the longest line), so that every line lies whole in one place.
constexpr std::size_t half_size = std::size_t{256} << 10;
constexpr std::size_t carry_room = 128;
// Zeros after the data: the line parsers may look a few bytes past the
// data's end, and a zero is neither a digit nor a line end, so a line that
// runs into it is refused like any other wrong byte.
constexpr std::size_t padding = std::max(line_batch::reach_ahead, 2 * line_parse::overrun);
constexpr std::size_t half_stride = carry_room + half_size + padding;
// Of a mapped file, the last 96 to 103 bytes are copied into the buffer:
// what the parsers read past the mapped part's end stays in the file, and
// the last line is followed by zeros as after a read.
constexpr std::size_t copied_tail = 96;
static_assert(copied_tail >= line_batch::reach_ahead + line_parse::overrun);

constexpr int32_t largest = 2147483647;

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

std::string quote(std::string_view text) {
  constexpr std::size_t shown = 40;
  return '"' + visible_bytes(text.substr(0, shown), '"') + '"' + (text.size() > shown ? "..." : "");
}

// Why `token` is not a number as the writer writes it ("12.000000");
// empty if it is one. With `prefix`, only whether it can begin one.
std::string number_problem(std::string_view token, bool prefix) {
  if (token.size() >= 2 && is_digit(token[1])) {
    if (token[0] == '-') return "negative number: " + quote(token);
    if (token[0] == '+') return "number with a plus sign: " + quote(token);
  }
  const std::size_t digits = std::find_if_not(token.begin(), token.end(), is_digit) - token.begin();
  const std::string_view rest = token.substr(digits);
  if (digits == 0) return prefix && token.empty() ? "" : "not a number: " + quote(token);
  if (!rest.empty() && (rest[0] != '.' || !std::all_of(rest.begin() + 1, rest.end(), is_digit))) {
    return "not a number: " + quote(token);
  }
  constexpr std::string_view decimals = ".000000";
  if (prefix ? !decimals.starts_with(rest) : rest != decimals) {
    return "number is not an integer written with \".000000\": " + quote(token);
  }
  if (digits > 1 && token[0] == '0') return "number with a leading zero: " + quote(token);
  int64_t value = 0;
  for (std::size_t i = 0; i < digits && value <= largest; ++i)
    value = value * 10 + (token[i] - '0');
  if (value > largest) return "number too large (more than 2147483647): " + quote(token);
  return "";
}

// Why `line` (without its line end) is not a line of `fields` numbers as
// the writer writes it; empty if it is one. With `cut`, the line's end is
// missing, and only whether it can begin such a line counts; with
// `longer`, it is missing because the line goes on beyond `line`.
std::string line_problem(std::string_view line, int fields, bool cut, bool longer) {
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') return "carriage return not followed by a line feed: " + quote(line);
    if ((u < 0x20 && c != '\t') || u == 0x7f) {
      return "control character " + quote(std::string_view(&c, 1)) + " in the line: " + quote(line);
    }
  }
  if (line.find(' ') != std::string_view::npos) {
    return "space in the line (numbers are separated by tabs): " + quote(line);
  }
  const std::string expected = "expected " + std::to_string(fields) + " numbers separated by ";
  std::vector<std::string_view> tokens;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    tokens.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  const auto found = static_cast<int>(tokens.size());
  if (found > fields) {
    // Of a longer line only the beginning is known, and so a lower bound.
    return expected + "tabs, found " +
           (longer ? "more than " + std::to_string(fields) : std::to_string(found)) + ": " +
           quote(line);
  }
  for (int i = 0; i < found; ++i) {
    const bool last_cut = cut && i == found - 1;
    if (tokens[i].empty() && !last_cut) {
      return expected + "single tabs, found an empty field: " + quote(line);
    }
    std::string problem = number_problem(tokens[i], last_cut);
    if (!problem.empty()) return problem;
  }
  if (found < fields && !cut) {
    return expected + "tabs, found " + std::to_string(found) + ": " + quote(line);
  }
  return "";
}

}  // namespace

line_source::line_source(std::istream& in, std::string name, line_format format)
    : in_(in.rdbuf()),
      name_(std::move(name)),
      format_(format),
      longest_(max_line(format.fields) + 2) {
  open_buffer();
  // A stream that failed to open would otherwise read as an empty file.
  if (in_ == nullptr || !in) throw error(name_ + ": cannot be read");
}

line_source::line_source(const std::filesystem::path& file, std::string name, line_format format)
    : map_(mapped_file::open(file, name)),
      name_(std::move(name)),
      format_(format),
      longest_(max_line(format.fields) + 2) {
  open_buffer();
  if (map_ != nullptr) {
    const std::size_t size = map_->size();
    const std::size_t body = size > copied_tail ? (size - copied_tail) & ~std::size_t{7} : 0;
    body_end_ = map_->data() + body;
    if (body > 0) data_[1] = map_->data();
    return;
  }
  errno = 0;
  own_ = std::make_unique<std::ifstream>(file, std::ios::binary);
  if (!*own_) {
    throw file_error(name_, errno != 0 ? std::error_code(errno, std::generic_category())
                                       : std::make_error_code(std::errc::io_error));
  }
  in_ = own_->rdbuf();
}

void line_source::open_buffer() {
  // Not zeroed whole: a reader per small file (a suite's sets) would
  // spend its time clearing half a MiB. The parsers read a few bytes
  // around the data that they then ignore: before it, the room for the
  // carried line, zeroed here; after it, the padding that read() zeroes.
  buffer_.reset(new char[2 * half_stride]);
  pos_ = end_ = half(0);
  data_[0] = half(0);
  data_[1] = half(1);
  static_assert(max_line(4) + 2 + line_batch::reach_back <= carry_room);
  for (int which : {0, 1}) std::memset(half(which) - carry_room, 0, carry_room);
}

line_source::~line_source() = default;

char* line_source::half(int which) const {
  return buffer_.get() + which * half_stride + carry_room;
}

const char* line_source::following(int which) const {
  return map_ != nullptr && end_ < body_end_ ? end_ : half(which);
}

line_source::read_result line_source::read(int which) noexcept {
  read_result r;
  char* const to = half(which);
  if (map_ != nullptr) {
    const char* const data = data_[which];
    if (data != to) {
      // A window of the mapping, made resident here, ahead of its parse.
      r.got = std::min(half_size, static_cast<std::size_t>(body_end_ - data));
      map_->prefetch(data, r.got);
      return r;
    }
    // The file's last bytes; a page that was cut off reads as zeros.
    r.got = static_cast<std::size_t>(map_->data() + map_->size() - body_end_);
    std::memcpy(to, body_end_, r.got);
    r.end = true;
    std::memset(to + r.got, 0, padding);
    return r;
  }
  try {
    // A streambuf may return less than asked before its end (a pipe does).
    while (r.got < half_size) {
      const std::streamsize got =
          in_->sgetn(to + r.got, static_cast<std::streamsize>(half_size - r.got));
      if (got <= 0) {
        r.end = true;  // a streambuf reports a read error as its end, too
        break;
      }
      r.got += static_cast<std::size_t>(got);
    }
  } catch (...) {
    r.error = std::current_exception();
  }
  std::memset(to + r.got, 0, padding);
  return r;
}

const char* line_source::ahead_start(const char* data, const read_result& r) const {
  if (r.error || share_ == 0) return nullptr;
  const std::size_t room = r.end ? r.got : r.got - std::min(r.got, longest_);
  const std::size_t from = r.got - r.got * static_cast<std::size_t>(share_) / 64;
  if (from >= room) return nullptr;
  // Lines start after an LF, whatever the bytes before it were.
  const auto* lf = static_cast<const char*>(std::memchr(data + from, '\n', room - from));
  return lf != nullptr && lf + 1 < data + room ? lf + 1 : nullptr;
}

bool line_source::next_read(read_result& r) {
  if (!reading_) {
    r = read(1 - current_);
    return false;
  }
  const bool kept_up = reader_->idle();
  reader_->finish();
  reading_ = false;
  // Steps of 1/32 of a half: a few halves find the balance, and a second
  // core taken by other work soon leaves all the parsing here.
  share_ = std::clamp(share_ + (kept_up ? 2 : -2), 0, 48);
  r = std::move(ahead_);
  return true;
}

bool line_source::read_ahead_with(void (*job)(void*), void* self) {
  if (reader_ == nullptr && !tried_thread_) {
    tried_thread_ = true;
    try {
      reader_ = std::make_unique<worker>();
    } catch (const std::system_error&) {
    }
  }
  if (reader_ == nullptr) return false;
  reader_->start(job, self);
  reading_ = true;
  return true;
}

void line_source::stop_reading_ahead() { reader_.reset(); }

void line_source::read_failed(const std::exception_ptr& e) const {
  try {
    std::rethrow_exception(e);
  } catch (const std::system_error& failure) {
    // libstdc++'s filebuf throws ios_base::failure with the read's errno.
    throw file_error(name_, failure.code());
  }
}

bool line_source::file_end() {
  // A mapping ends where the file ended when it was mapped.
  if (map_ != nullptr && map_->changed()) fail(line_ + 1, "");
  if (block_lines_ > 0) {
    fail(line_ + 1, "file ends inside the block that starts on line " +
                        std::to_string(block_line_) + ": its empty line is missing (cut short?)");
  }
  return false;
}

void line_source::too_many_lines() const {
  fail(line_, "block has more than " + std::to_string(format_.max_lines) + " " + format_.noun +
                  " lines (it starts on line " + std::to_string(block_line_) + ")");
}

void line_source::fail_line() const {
  const auto available = static_cast<std::size_t>(end_ - pos_);
  const auto* lf = static_cast<const char*>(std::memchr(pos_, '\n', std::min(available, longest_)));
  std::string_view line(pos_, lf != nullptr ? lf - pos_ : std::min(available, longest_));
  // Before an LF the CR is the line end; at a cut it may have been one.
  if (line.ends_with('\r')) line.remove_suffix(1);
  const bool longer = lf == nullptr && available >= longest_;
  std::string problem = line_problem(line, format_.fields, lf == nullptr, longer);
  if (problem.empty() && lf == nullptr && eof_ && available < longest_) {
    problem = "file ends in the middle of a line: cut short?";
  }
  if (problem.empty()) problem = "line is not as the writer writes it: " + quote(line);
  fail(line_, problem);
}

void line_source::fail(int64_t line, const std::string& what) const {
  // Whatever went wrong in a mapped file cut short: the cut, not the zeros
  // read in place of what was cut off.
  if (map_ != nullptr && map_->changed()) throw error(name_ + " changed while it was being read");
  throw error(name_ + ":" + std::to_string(line) + ": " + what);
}

}  // namespace sheetgen
