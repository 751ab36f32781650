#include "files/source.h"

#include <sheetgen/answers.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <streambuf>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "files/files.h"
#include "files/text.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

// Takes the dialogue's prompts and keeps none of them.
class discard_buffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Bytes in memory as a stream, without a copy.
class memory_stream : public std::istream {
 public:
  explicit memory_stream(const std::string& bytes) : std::istream(nullptr), buffer_(bytes) {
    rdbuf(&buffer_);
  }

 private:
  struct buffer : std::streambuf {
    explicit buffer(const std::string& bytes) {
      char* start = const_cast<char*>(bytes.data());  // only ever read
      setg(start, start, start + bytes.size());
    }
  };
  buffer buffer_;
};

// What can be read only once: a pipe, a socket, a terminal. A name that
// is not there is left for opening to report.
bool read_once(const std::string& name) {
  std::error_code ec;
  const fs::file_type type = fs::status(name, ec).type();
  return type == fs::file_type::fifo || type == fs::file_type::socket ||
         type == fs::file_type::character;
}

// Instances going from the thread that reads them to the one that visits
// them, in batches: a hand-over per instance would cost more than a small
// block's work (a million empty blocks are a million instances).
class handover {
 public:
  // Batches end after this many lines or instances, the next block's
  // lines at most beyond: 3 batches of up to about 1 MiB of item types.
  static constexpr std::size_t batch_lines = std::size_t{1} << 16;
  static constexpr std::size_t batch_instances = 4096;

  struct batch {
    std::vector<instance> instances;  // the first `size` are filled
    std::size_t size = 0;
    std::size_t lines = 0;
  };

  // Thrown on the reading thread once the visitor has stopped.
  struct stopped {};

  // The reading thread's side: the batch to fill, handed over when full.
  batch& filling() { return slots_[filling_]; }
  void hand_over_if_full() {
    const batch& b = slots_[filling_];
    if (b.lines >= batch_lines || b.size >= batch_instances) hand_over();
  }
  void end(std::exception_ptr error) {
    if (slots_[filling_].size > 0) {
      try {
        hand_over();
      } catch (const stopped&) {
      }
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    error_ = std::move(error);
    changed_.notify_all();
  }

  // The visiting thread's side: the next full batch, or null after the
  // last; `done` gives back the one before.
  batch* next() {
    std::unique_lock lock(mutex_);
    if (visiting_ >= 0) {
      slots_[visiting_].size = 0;
      slots_[visiting_].lines = 0;
      free_.push_back(visiting_);
      visiting_ = -1;
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return !full_.empty() || ended_; });
    if (full_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return nullptr;
    }
    visiting_ = full_.front();
    full_.erase(full_.begin());
    return &slots_[visiting_];
  }
  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  void hand_over() {
    std::unique_lock lock(mutex_);
    full_.push_back(filling_);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !free_.empty() || stopped_; });
    if (stopped_) throw stopped{};
    filling_ = free_.front();
    free_.erase(free_.begin());
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<batch, 3> slots_;
  int filling_ = 0;
  int visiting_ = -1;
  std::vector<int> full_;         // in file order
  std::vector<int> free_{1, 2};
  bool ended_ = false;
  bool stopped_ = false;
  std::exception_ptr error_;
};

}  // namespace

sheetgen::run_parameters read_answers_quietly(std::istream& in,
                                              const std::filesystem::path& folder) {
  discard_buffer nothing;
  std::ostream prompts(&nothing);
  return sheetgen::read_answers(in, prompts, folder);
}

run_info run_from_answers(const std::string& answers_file) {
  std::ifstream in = open_input(answers_file);
  sheetgen::run_parameters p;
  try {
    p = read_answers_quietly(in);
  } catch (const sheetgen::answer_error& e) {
    throw sheetgen::error(e.located(answers_file));
  }
  run_info run;
  run.object = p.object;
  run.instance_file = p.filename;
  if (p.no_defects >= 1) run.defect_file = p.defectfilename;
  run.answers = std::move(p);
  return run;
}

rectangle parse_object(std::string_view text) {
  const std::size_t x = text.find('x');
  const auto length = parse_positive(text.substr(0, x));
  const auto width =
      x == std::string_view::npos ? std::nullopt : parse_positive(text.substr(x + 1));
  if (!length || !width) {
    throw sheetgen::error(
        "expected LENGTHxWIDTH, two positive integers such as 20000x20000, not \"" +
        std::string(text) + "\"");
  }
  constexpr int64_t largest = 2147483647;
  // Each side first: the product of two sides of 18 digits would overflow.
  if (*length > largest || *width > largest || *length * *width > largest) {
    throw sheetgen::error("the object " + std::string(text) +
                          " is too large: length x width must not exceed 2147483647");
  }
  return {.area = static_cast<int32_t>(*length * *width),
          .length = static_cast<int32_t>(*length),
          .width = static_cast<int32_t>(*width)};
}

run_info run_from_object(rectangle object, std::string instance_file, std::string defect_file) {
  run_info run;
  run.object = object;
  run.instance_file = std::move(instance_file);
  run.defect_file = std::move(defect_file);
  return run;
}

bool run_reader::next(instance& out) {
  if (!reader_.next(out.items, out.defects)) return false;
  out.number = reader_.instances();
  out.item_line = reader_.item_line();
  out.defect_line = reader_.defect_line();
  return true;
}

instance_pass file_pass(const run_info& run) {
  return [instance_file = run.instance_file,
          defect_file = run.defect_file](const std::function<void(const instance&)>& visit) {
    std::ifstream items = open_input(instance_file);
    std::ifstream defects;
    if (!defect_file.empty()) defects = open_input(defect_file);
    run_reader reader(items, instance_file, defect_file.empty() ? nullptr : &defects, defect_file);
    instance one;
    while (reader.next(one)) visit(one);
  };
}

instance_pass read_ahead(instance_pass pass) {
  return [pass = std::move(pass)](const std::function<void(const instance&)>& visit) {
    handover batches;
    const auto read = [&] {
      try {
        pass([&](const instance& in) {
          handover::batch& b = batches.filling();
          if (b.size == b.instances.size()) b.instances.emplace_back();
          b.instances[b.size++] = in;  // the slot's capacity is reused
          b.lines += in.items.size() + in.defects.size() + 1;
          batches.hand_over_if_full();
        });
        batches.end(nullptr);
      } catch (const handover::stopped&) {
        batches.end(nullptr);
      } catch (...) {
        batches.end(std::current_exception());
      }
    };
    std::thread reader;
    try {
      reader = std::thread(read);
    } catch (const std::system_error&) {
      return pass(visit);
    }
    try {
      while (const handover::batch* b = batches.next()) {
        for (std::size_t i = 0; i < b->size; ++i) visit(b->instances[i]);
      }
    } catch (...) {
      batches.stop();
      reader.join();
      throw;
    }
    reader.join();
  };
}

run_files::run_files(const run_info& run, int64_t instances) : run_files(run, instances, {}) {}

run_files::run_files(const run_info& run, int64_t instances, sizes limits)
    : limit_(instances), sizes_(limits) {
  items_.name = run.instance_file;
  items_.pipe = read_once(items_.name);
  defects_.name = run.defect_file;
  defects_.pipe = !defects_.name.empty() && read_once(defects_.name);
}

instance_pass run_files::pass(bool defects) {
  return [this, defects](const std::function<void(const instance&)>& visit) {
    read(visit, defects);
  };
}

void run_files::hold(input& in) const {
  std::ifstream file = open_input(in.name);
  constexpr std::size_t chunk = std::size_t{1} << 16;
  for (;;) {
    const std::size_t size = in.held.size();
    in.held.resize(size + chunk);
    file.read(in.held.data() + size, static_cast<std::streamsize>(chunk));
    in.held.resize(size + static_cast<std::size_t>(file.gcount()));
    if (in.held.size() > sizes_.pipe) {
      std::string().swap(in.held);
      const std::string limit = sizes_.pipe % (std::size_t{1} << 20) == 0
                                    ? std::to_string(sizes_.pipe >> 20) + " MiB"
                                    : count_of(static_cast<int64_t>(sizes_.pipe), "byte");
      throw sheetgen::error(in.name + " is a pipe of more than " + limit +
                            ", the most that is kept in memory to read a pipe twice: save it "
                            "to a file first");
    }
    if (!file) break;
  }
  if (file.bad()) throw sheetgen::error("Cannot read file " + in.name + "!");
}

std::unique_ptr<std::istream> run_files::open(const input& in) const {
  if (in.pipe) return std::make_unique<memory_stream>(in.held);
  return std::make_unique<std::ifstream>(open_input(in.name));
}

void run_files::read(const std::function<void(const instance&)>& visit, bool defects) {
  if (!held_) {
    if (items_.pipe) hold(items_);
    if (defects_.pipe) hold(defects_);
    held_ = true;
  }
  const std::unique_ptr<std::istream> item_in = open(items_);
  std::unique_ptr<std::istream> defect_in;
  if (defects && !defects_.name.empty()) defect_in = open(defects_);
  run_reader reader(*item_in, items_.name, defect_in.get(), defects_.name);
  instance one;
  while (limit_ < 0 || reader.instances() < limit_) {
    if (!reader.next(one)) {
      to_end_ = to_end_ || defects;
      return;
    }
    visit(one);
  }
  if (!defects || looked_beyond_) return;
  // One block more at most, to tell what follows.
  looked_beyond_ = true;
  try {
    to_end_ = !reader.next(one);
    if (!to_end_) {
      beyond_ = items_.name + " has a block " + std::to_string(one.number) +
                ", from its line " + std::to_string(one.item_line);
    }
  } catch (const sheetgen::error& e) {
    to_end_ = false;
    beyond_ = e.what();
  }
}

namespace {

// At most `size` bytes of another stream's buffer.
class range_buffer : public std::streambuf {
 public:
  range_buffer(std::streambuf& in, uint64_t size) : in_(in), left_(size) {}

 protected:
  std::streamsize xsgetn(char* to, std::streamsize n) override {
    std::streamsize got = 0;
    if (gptr() < egptr()) {
      got = std::min<std::streamsize>(n, egptr() - gptr());
      std::copy(gptr(), gptr() + got, to);
      gbump(static_cast<int>(got));
    }
    return got + take(to + got, n - got);
  }
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::streamsize got = take(one_, sizeof one_);
    if (got <= 0) return traits_type::eof();
    setg(one_, one_, one_ + got);
    return traits_type::to_int_type(one_[0]);
  }

 private:
  std::streamsize take(char* to, std::streamsize n) {
    const auto wanted = static_cast<std::streamsize>(std::min<uint64_t>(left_, static_cast<uint64_t>(n)));
    const std::streamsize got = wanted > 0 ? in_.sgetn(to, wanted) : 0;
    if (got > 0) left_ -= static_cast<uint64_t>(got);
    return got;
  }

  std::streambuf& in_;
  uint64_t left_;
  char one_[4096];
};

// The first place at or after `offset` where a block starts, just after an
// empty line (LF or CR LF), in a file that a pass has found well formed;
// nothing when none lies within the next 4 MiB, more than a block of
// sheetgen's largest takes.
std::optional<uint64_t> block_start(const std::string& name, uint64_t offset) {
  constexpr std::size_t chunk = std::size_t{256} << 10;
  constexpr uint64_t reach = uint64_t{4} << 20;
  std::ifstream file = open_input(name);
  // From two bytes before, which tell whether a line feed ends an empty line.
  uint64_t at = offset - 2;
  file.seekg(static_cast<std::streamoff>(at));
  std::string bytes(chunk + 2, '\0');
  std::size_t have = 0;
  while (at < offset + reach) {
    file.read(bytes.data() + have, static_cast<std::streamsize>(chunk));
    const std::size_t size = have + static_cast<std::size_t>(file.gcount());
    for (std::size_t i = 2; i < size; ++i) {
      if (bytes[i] == '\n' &&
          (bytes[i - 1] == '\n' || (bytes[i - 1] == '\r' && bytes[i - 2] == '\n'))) {
        return at + i + 1;
      }
    }
    if (!file || size < 2) return std::nullopt;
    // The last two bytes start the next chunk.
    bytes[0] = bytes[size - 2];
    bytes[1] = bytes[size - 1];
    at += size - 2;
    have = 2;
  }
  return std::nullopt;
}

// The instances of the blocks in bytes [begin, end) of the instance file
// `name`, read as a file of their own: without defects, numbered from 1.
instance_pass block_range(const std::string& name, uint64_t begin, uint64_t end) {
  return [name, begin, end](const std::function<void(const instance&)>& visit) {
    std::ifstream file = open_input(name);
    file.seekg(static_cast<std::streamoff>(begin));
    range_buffer range(*file.rdbuf(), end - begin);
    std::istream in(&range);
    run_reader reader(in, name, nullptr, "");
    instance one;
    while (reader.next(one)) visit(one);
  };
}

}  // namespace

std::vector<std::pair<uint64_t, uint64_t>> run_files::ranges(unsigned parts) const {
  // Smaller parts gain less than starting their threads costs.
  const uint64_t smallest = std::max<uint64_t>(sizes_.part, 4);
  std::error_code ec;
  const uint64_t size = items_.pipe ? 0 : fs::file_size(items_.name, ec);
  if (ec || parts < 2 || size < 2 * smallest) return {};
  parts = static_cast<unsigned>(std::min<uint64_t>(parts, size / smallest));
  std::vector<std::pair<uint64_t, uint64_t>> found;
  uint64_t begin = 0;
  for (unsigned k = 1; k < parts; ++k) {
    const std::optional<uint64_t> end = block_start(items_.name, size / parts * k);
    if (!end || *end <= begin || *end >= size) continue;
    found.emplace_back(begin, *end);
    begin = *end;
  }
  found.emplace_back(begin, size);
  return found;
}

std::vector<instance_pass> run_files::first_parts(unsigned parts) {
  if (!defects_.name.empty()) return {pass()};
  const auto found = ranges(parts);
  if (found.size() < 2) return {pass()};
  std::vector<instance_pass> passes;
  for (const auto& [begin, end] : found) passes.push_back(block_range(items_.name, begin, end));
  // Each reads to its end, the last to the file's; a pass in order after
  // them finds out again.
  to_end_ = true;
  return passes;
}

std::vector<instance_pass> run_files::item_parts(unsigned parts) {
  const auto found = to_end_ ? ranges(parts) : decltype(ranges(parts)){};
  if (found.size() < 2) return {pass(false)};
  std::vector<instance_pass> passes;
  for (const auto& [begin, end] : found) {
    passes.push_back([part = block_range(items_.name, begin, end)](const auto& visit) {
      try {
        part(visit);
      } catch (const sheetgen::error&) {
        throw sheetgen::error("The files changed while they were being read!");
      }
    });
  }
  return passes;
}

}  // namespace sheetkit
