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

/// What the system refused to do with a file or folder, and why: "Cannot
/// read file runs/a.txt: No such file or directory".
class file_error : public sheetgen::error {
 public:
  /// `what`: "Cannot read file", "Cannot remove folder"; `reason`: the
  /// system's error, whose message ends the sentence.
  file_error(std::string_view what, std::filesystem::path path, std::error_code reason);

  /// The file or folder as it was named.
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// The system's reason for the failure that just happened: errno, or
/// `otherwise` where the call that failed did not set it.
std::error_code last_os_error(std::errc otherwise = std::errc::io_error);

// Opens a file to read in binary; throws file_error "Cannot read file
// NAME: REASON" when it cannot be opened or is a folder.
std::ifstream open_input(const std::string& name);

// The whole of a file, read in binary; throws as open_input does, and
// when reading fails.
std::string read_whole_file(const std::string& name);

// The entries of `folder`, sorted by name, so that what is told of them
// comes in the same order on every system; throws file_error "Cannot read
// folder PATH: REASON" when the folder cannot be listed.
std::vector<std::filesystem::directory_entry> folder_entries(const std::filesystem::path& folder);

// An output file that appears under its name only when it is complete.
// The bytes go to a new temporary file beside `path` (same folder, so that
// the rename cannot cross file systems); commit() closes it and renames it
// over `path`. Until then an earlier file of that name stays as it was,
// whatever fails. A file that may not be written is refused, as writing
// in place would refuse it; the new file keeps the old one's permissions.
// A symbolic link at `path` is replaced, never written through; a device or
// a named pipe is written in place. Every failure throws file_error
// "Cannot write file PATH: REASON" and removes the temporary file.
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

// Writes `bytes` as the whole of the file `path`, through a file_writer.
void write_file(const std::filesystem::path& path, std::string_view bytes);

// ".tmp-3f9a...": a suffix that makes a name beside an existing one that
// no other writer, in this process or another, is likely to pick at the
// same moment. Create what it names exclusively, and retry on a clash.
std::string unique_suffix(std::string_view tag = "tmp");

}  // namespace sheetkit

#endif  // SHEETKIT_FILES_H_
