#include "files/files.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <random>
#include <system_error>
#include <utility>

namespace sheetkit {

namespace fs = std::filesystem;

std::error_code last_os_error(std::errc otherwise) {
  return errno != 0 ? std::error_code(errno, std::generic_category())
                    : std::make_error_code(otherwise);
}

std::ifstream open_input(const std::string& name) {
  errno = 0;
  std::ifstream in(name, std::ios::binary);
  const std::error_code failed = last_os_error(std::errc::no_such_file_or_directory);
  if (!in) throw file_error(name, failed);
  // A folder opens on some systems and reads as nothing.
  std::error_code ec;
  if (fs::is_directory(name, ec)) {
    throw file_error(name, std::make_error_code(std::errc::is_a_directory));
  }
  return in;
}

void read_failed(const std::istream& in, const std::string& name) {
  if (in.bad()) throw file_error(name, last_os_error());
}

std::string read_whole_file(const std::string& name) {
  std::ifstream in = open_input(name);
  errno = 0;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  read_failed(in, name);
  return text;
}

std::vector<fs::directory_entry> folder_entries(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    entries.push_back(*it);
  }
  if (ec) throw file_error(folder.string(), "cannot be listed", ec);
  // By the paths' text: as the names within one folder, and quick for a million sets.
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().native() < b.path().native(); });
  return entries;
}

std::string unique_suffix(std::string_view tag) {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t start = [] {
    try {
      return (uint64_t{std::random_device()()} << 32) ^ std::random_device()();
    } catch (...) {
      return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
  }();
  uint64_t v = start + counter++ * 0x9e3779b97f4a7c15u;
  // Appended piece by piece: g++ 12 warns falsely on "." + std::string.
  std::string text(1, '.');
  text += tag;
  text += '-';
  for (int i = 0; i < 12; ++i, v >>= 4) text += "0123456789abcdef"[v & 15];
  return text;
}

file_writer::file_writer(fs::path path) : path_(std::move(path)) {
  // A device or a pipe has no earlier content to keep, and a rename would
  // replace the device itself: it is written in place.
  std::error_code ec;
  const fs::file_type type = fs::symlink_status(path_, ec).type();
  if (type == fs::file_type::character || type == fs::file_type::block ||
      type == fs::file_type::fifo || type == fs::file_type::socket) {
    errno = 0;
    file_ = std::fopen(path_.string().c_str(), "wb");
    if (file_ == nullptr) fail(last_os_error());
    return;
  }
  if (type == fs::file_type::regular) {
    // A file that may not be written is not replaced either; opening it to
    // append changes nothing in it.
    errno = 0;
    std::FILE* probe = std::fopen(path_.string().c_str(), "ab");
    if (probe == nullptr) fail(last_os_error());
    std::fclose(probe);
    permissions_ = fs::status(path_, ec).permissions();
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary_ = path_;
    temporary_ += unique_suffix();
    // "x": never opens what already sits at that name, a link included.
    errno = 0;
    file_ = std::fopen(temporary_.string().c_str(), "wbx");
    if (file_ != nullptr || errno != EEXIST) break;
  }
  if (file_ == nullptr) {
    const std::error_code reason = last_os_error();
    temporary_.clear();  // nothing of ours to remove
    fail(reason);
  }
}

file_writer::~file_writer() { discard(); }

void file_writer::write(std::string_view bytes) {
  // After a failure or the commit.
  if (file_ == nullptr) fail(std::make_error_code(std::errc::bad_file_descriptor));
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail(last_os_error());
}

void file_writer::commit() {
  if (file_ == nullptr) fail(std::make_error_code(std::errc::bad_file_descriptor));
  std::FILE* f = std::exchange(file_, nullptr);
  // fclose flushes: a full disk shows here at the latest.
  errno = 0;
  if (std::fclose(f) != 0) fail(last_os_error());
  if (temporary_.empty()) return;  // written in place
  std::error_code ec;
  // The new file keeps who may read the old one.
  if (permissions_ != fs::perms::unknown) fs::permissions(temporary_, permissions_, ec);
  fs::rename(temporary_, path_, ec);
  if (ec) fail(ec);
  temporary_.clear();
}

void file_writer::fail(std::error_code reason) {
  discard();
  throw file_error(path_.string(), "cannot be written", reason);
}

void file_writer::discard() noexcept {
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    temporary_.clear();
  }
}

void write_file(const fs::path& path, std::string_view bytes) {
  file_writer file(path);
  file.write(bytes);
  file.commit();
}

void write_new_file(const fs::path& path, std::string_view bytes) {
  // "x": fails on anything at the name, a link or a file another writer
  // has just made.
  errno = 0;
  std::FILE* f = std::fopen(path.string().c_str(), "wbx");
  if (f == nullptr) throw file_error(path.string(), "cannot be written", last_os_error());
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  std::error_code reason = last_os_error();
  // fclose flushes: a full disk shows here at the latest.
  if (written) {
    errno = 0;
    written = std::fclose(f) == 0;
    reason = last_os_error();
  } else {
    std::fclose(f);
  }
  if (written) return;
  std::error_code ignored;
  fs::remove(path, ignored);
  throw file_error(path.string(), "cannot be written", reason);
}

}  // namespace sheetkit
