#include "files/run_files.h"

#include <sheetgen/types.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <streambuf>
#include <system_error>
#include <utility>

#include "files/files.h"
#include "files/instance_reader.h"
#include "text/text.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

run_files::run_files(const run_info& run, int64_t instances) : run_files(run, instances, {}) {}

run_files::run_files(const run_info& run, int64_t instances, sizes limits)
    : limit_(instances), sizes_(limits) {
  items_.name = run.instance_file;
  items_.pipe = read_once(items_.name);
  defects_.name = run.defect_file;
  defects_.pipe = !defects_.name.empty() && read_once(defects_.name);
}

instance_pass run_files::pass(bool defects) {
  return
      [this, defects](const std::function<void(const instance&)>& visit) { read(visit, defects); };
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
  read_failed(file, in.name);
}

std::unique_ptr<std::istream> run_files::open(const input& in) const {
  return std::make_unique<memory_stream>(in.held);
}

void run_files::read(const std::function<void(const instance&)>& visit, bool defects) {
  if (!held_) {
    if (items_.pipe) hold(items_);
    if (defects_.pipe) hold(defects_);
    held_ = true;
  }
  // A regular file by name (mapped), a pipe's bytes held as a stream.
  std::unique_ptr<std::istream> item_in;
  std::unique_ptr<std::istream> defect_in;
  std::optional<sheetgen::instance_reader> items;
  if (items_.pipe) {
    item_in = open(items_);
    items.emplace(*item_in, items_.name);
  } else {
    items.emplace(open_items(items_.name));
  }
  std::optional<sheetgen::defect_reader> defect_reader;
  if (defects && !defects_.name.empty()) {
    if (defects_.pipe) {
      defect_in = open(defects_);
      defect_reader.emplace(*defect_in, defects_.name);
    } else {
      defect_reader.emplace(open_defects(defects_.name));
    }
  }
  instance_reader reader(std::move(*items), items_.name, std::move(defect_reader), defects_.name);
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
      beyond_ = items_.name + " has a block " + std::to_string(one.number) + ", from its line " +
                std::to_string(one.item_line);
    }
  } catch (const sheetgen::error& e) {
    to_end_ = false;
    beyond_ = e.what();
  }
}

std::vector<byte_range> run_files::ranges(unsigned parts) const {
  if (items_.pipe) return {};
  // Smaller parts gain less than starting their threads costs.
  return split_at_blocks(items_.name, parts, sizes_.part);
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
  const auto found = to_end_ ? ranges(parts) : std::vector<byte_range>{};
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
