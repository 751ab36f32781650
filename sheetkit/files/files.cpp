#include "files/files.h"

#include <sheetgen/types.h>

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

std::ifstream open_input(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  // A folder opens on some systems and reads as nothing.
  std::error_code ec;
  if (!in || fs::is_directory(name, ec)) {
    throw sheetgen::error("Cannot read file " + name + "!");
  }
  return in;
}

std::string read_whole_file(const std::string& name) {
  std::ifstream in = open_input(name);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw sheetgen::error("Cannot read file " + name + "!");
  return text;
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
    file_ = std::fopen(path_.string().c_str(), "wb");
    if (file_ == nullptr) fail();
    return;
  }
  if (type == fs::file_type::regular) {
    // A file that may not be written is not replaced either; opening it to
    // append changes nothing in it.
    std::FILE* probe = std::fopen(path_.string().c_str(), "ab");
    if (probe == nullptr) fail();
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
    temporary_.clear();  // nothing of ours to remove
    fail();
  }
}

file_writer::~file_writer() { discard(); }

void file_writer::write(std::string_view bytes) {
  if (file_ == nullptr) fail();  // after a failure or the commit
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail();
}

void file_writer::commit() {
  if (file_ == nullptr) fail();
  std::FILE* f = std::exchange(file_, nullptr);
  // fclose flushes: a full disk shows here at the latest.
  if (std::fclose(f) != 0) fail();
  if (temporary_.empty()) return;  // written in place
  std::error_code ec;
  // The new file keeps who may read the old one.
  if (permissions_ != fs::perms::unknown) fs::permissions(temporary_, permissions_, ec);
  fs::rename(temporary_, path_, ec);
  if (ec) fail();
  temporary_.clear();
}

void file_writer::fail() {
  discard();
  throw sheetgen::error("Cannot write file " + path_.string() + "!");
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

}  // namespace sheetkit
