// Files as sheetkit's commands open them: to read, refusing what is not a
// file; to write, whole or not at all.
#ifndef SHEETKIT_FILES_H_
#define SHEETKIT_FILES_H_

#include <sheetgen/types.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sheetkit {

/// What the system refused to do with a file or folder, and why: the
/// library's one file_error, "runs/a.txt: cannot be read: No such file or
/// directory", built by file_message.
using sheetgen::file_error;
using sheetgen::file_message;

/// The system's reason for the failure that just happened: errno, or
/// `otherwise` where the call that failed did not set it.
std::error_code last_os_error(std::errc otherwise = std::errc::io_error);

// The one way sheetkit opens a file to read: in binary; throws file_error
// "NAME: cannot be read: REASON" when it cannot be opened or is a folder.
// Read it with read_failed at hand for what fails on the way.
std::ifstream open_input(const std::string& name);

// Throws file_error "NAME: cannot be read: REASON" when reading `in`, a
// stream open_input gave, failed on the way (a failing disk), rather than
// ending: call it when a read stops.
void read_failed(const std::istream& in, const std::string& name);

// The whole of a file, read in binary; throws as open_input does, and
// when reading fails.
std::string read_whole_file(const std::string& name);

// The entries of `folder`, sorted by name, so that what is told of them
// comes in the same order on every system; throws file_error "PATH: cannot
// be listed: REASON" when the folder cannot be listed.
std::vector<std::filesystem::directory_entry> folder_entries(const std::filesystem::path& folder);

// An output file that appears under its name only when it is complete.
// The bytes go to a new temporary file beside `path` (same folder, so that
// the rename cannot cross file systems); commit() closes it and renames it
// over `path`. Until then an earlier file of that name stays as it was,
// whatever fails. A file that may not be written is refused, as writing
// in place would refuse it; the new file keeps the old one's permissions.
// A symbolic link at `path` is replaced, never written through; a device or
// a named pipe is written in place. Every failure throws file_error
// "PATH: cannot be written: REASON" and removes the temporary file.
class file_writer {
 public:
  explicit file_writer(std::filesystem::path path);
  // Without a commit: removes the temporary file.
  ~file_writer();
  file_writer(const file_writer&) = delete;
  file_writer& operator=(const file_writer&) = delete;

  void write(std::string_view bytes);
  // Flushes and closes the temporary file and renames it to `path`.
  void commit();

 private:
  [[noreturn]] void fail(std::error_code reason);
  void discard() noexcept;

  std::filesystem::path path_;
  std::filesystem::path temporary_;
  std::filesystem::perms permissions_ = std::filesystem::perms::unknown;  // of the file replaced
  std::FILE* file_ = nullptr;
};

// The two ways sheetkit writes a file. write_file: `bytes` as the whole of
// the file `path`, through a file_writer (an earlier file replaced only
// once the new one is complete). write_new_file: a file that must not
// replace anything, created exclusively (a link at `path` not followed);
// an existing one throws "PATH: cannot be written: File exists", and what
// was begun is removed on a failure. Both throw file_error "PATH: cannot be
// written: REASON".
void write_file(const std::filesystem::path& path, std::string_view bytes);
void write_new_file(const std::filesystem::path& path, std::string_view bytes);

// ".tmp-3f9a...": a suffix that makes a name beside an existing one that
// no other writer, in this process or another, is likely to pick at the
// same moment. Create what it names exclusively, and retry on a clash.
std::string unique_suffix(std::string_view tag = "tmp");

}  // namespace sheetkit

#endif  // SHEETKIT_FILES_H_
