#include "split_lines.h"

#include <atomic>
#include <cstdlib>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace sheetgen {

namespace {

std::atomic<std::size_t> piece_size{split_sizes{}.piece};
std::atomic<uint64_t> smallest_file{split_sizes{}.smallest_file};
std::atomic<unsigned> thread_count{split_sizes{}.threads};

}  // namespace

split_sizes split_reading() {
  return {piece_size.load(), smallest_file.load(), thread_count.load()};
}

void set_split_reading(const split_sizes& sizes) {
  piece_size = sizes.piece;
  smallest_file = sizes.smallest_file;
  thread_count = sizes.threads;
}

#ifdef _WIN32

// Windows reads on one thread, as before.
std::unique_ptr<split_file> split_file::open(const std::filesystem::path&) { return nullptr; }
split_file::~split_file() = default;
std::size_t split_file::read(char*, std::size_t, uint64_t) const { return 0; }

#else

std::unique_ptr<split_file> split_file::open(const std::filesystem::path& file) {
  const split_sizes sizes = split_reading();
  // SHEETGEN_READ=one keeps the parse on one thread, to compare.
  const char* choice = std::getenv("SHEETGEN_READ");
  if (choice != nullptr && std::string_view(choice) == "one") return nullptr;
  if (sizes.threads == 0 && std::thread::hardware_concurrency() < 2) return nullptr;
  // Looked at before it is opened: opening a FIFO would wait for a writer.
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Only a regular file can be read at offsets, by several threads at once
  // (and, with a 32-bit off_t, one well short of 2 GiB).
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<uint64_t>(st.st_size) < sizes.smallest_file ||
      (sizeof(off_t) < 8 && st.st_size > 0x7fffffff - (off_t{1} << 24))) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<split_file>(new split_file(fd, static_cast<uint64_t>(st.st_size)));
}

split_file::~split_file() { ::close(fd_); }

std::size_t split_file::read(char* to, std::size_t n, uint64_t offset) const {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd_, to + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

#endif

}  // namespace sheetgen
