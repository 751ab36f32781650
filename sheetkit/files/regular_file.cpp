#include "files/regular_file.h"

#include <fcntl.h>
#include <sheetgen/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "files/files.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

std::string kind_of(fs::file_type type) {
  switch (type) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none:
      return "";
    case fs::file_type::symlink:
      return "a link";
    case fs::file_type::directory:
      return "a folder";
    case fs::file_type::fifo:
      return "a FIFO";
    case fs::file_type::character:
    case fs::file_type::block:
      return "a device";
    case fs::file_type::socket:
      return "a socket";
    default:
      return "not a plain file";
  }
}

std::string kind_of(mode_t mode) {
  if (S_ISREG(mode)) return "";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

[[noreturn]] void refuse(const fs::path& path, const std::string& kind) {
  throw sheetgen::error(path.string() + ": " + kind + ", not a plain file");
}

[[noreturn]] void cannot_read(const fs::path& path, int error) {
  throw file_error(path.string(), std::error_code(error, std::generic_category()));
}

// Closes the descriptor on every way out.
struct descriptor {
  int fd;
  ~descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string not_a_plain_file(const fs::path& path) {
  std::error_code ec;
  return kind_of(fs::symlink_status(path, ec).type());
}

void require_plain_file(const fs::path& path) {
  const std::string kind = not_a_plain_file(path);
  if (!kind.empty()) refuse(path, kind);
}

std::string read_small_file(const fs::path& path, uint64_t limit, bool given) {
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is
  // refused below; O_NOFOLLOW: a link is refused as one.
  const int flags = given ? O_RDONLY | O_CLOEXEC : O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
  descriptor file{::open(path.c_str(), flags)};
  if (file.fd < 0) {
    const int error = errno;
    if (error == ELOOP) refuse(path, "a link");
    cannot_read(path, error);
  }
  struct stat about {};
  if (::fstat(file.fd, &about) != 0) cannot_read(path, errno);
  if (const std::string kind = kind_of(about.st_mode);
      !kind.empty() && !(given && S_ISFIFO(about.st_mode))) {
    refuse(path, kind);
  }
  const auto too_large = [&] {
    throw sheetgen::error(path.string() + ": larger than " + std::to_string(limit) +
                          " bytes, more than such a file holds");
  };
  if (static_cast<uint64_t>(about.st_size) > limit) too_large();
  std::string text;
  text.reserve(static_cast<std::size_t>(about.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) cannot_read(path, errno);
    if (got == 0) return text;
    // The file may grow while it is read.
    if (text.size() + static_cast<uint64_t>(got) > limit) too_large();
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace sheetkit
