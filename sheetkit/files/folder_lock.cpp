#include "files/folder_lock.h"

#include <fcntl.h>
#include <sheetgen/types.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "files/files.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// The pid as the file holds it: fixed width, so that holders overwrite it
// in place without truncating what another is reading.
constexpr int pid_width = 11;

long pid_in(int fd) {
  char text[pid_width + 1] = {};
  const ssize_t got = ::pread(fd, text, pid_width, 0);
  return got > 0 ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

std::optional<folder_lock> folder_lock::take(const fs::path& path, bool shared, taken& held_by) {
  // A holder removes the file as it lets go: a lock taken on the file just
  // removed is no lock, so it is taken again on the one at the name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      throw file_error(path.string(), "cannot be created", last_os_error());
    }
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
      const int error = errno;
      held_by.pid = error == EWOULDBLOCK ? pid_in(fd) : 0;
      ::close(fd);
      if (error == EWOULDBLOCK) return std::nullopt;
      throw file_error(path.string(), "cannot be locked",
                       std::error_code(error, std::generic_category()));
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      char text[pid_width + 2];
      std::snprintf(text, sizeof text, "%*ld\n", pid_width - 1, static_cast<long>(::getpid()));
      // Only a note for the message of another make: a failure changes nothing.
      [[maybe_unused]] const ssize_t written = ::pwrite(fd, text, pid_width, 0);
      return folder_lock(path, fd);
    }
    ::close(fd);
  }
  throw sheetgen::error(path.string() + ": cannot be locked: it is replaced over and over");
}

folder_lock::folder_lock(folder_lock&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

folder_lock::~folder_lock() {
  if (fd_ < 0) return;
  // A shared holder removes the file only when it is the last: when it can
  // have the lock to itself.
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace sheetkit
