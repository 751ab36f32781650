// Files that sheetkit reads from a folder it did not make itself (a suite
// unpacked from a tarball, say): a plain file is read, anything else is
// named and refused before it is opened, so that a FIFO cannot block a
// command, a device cannot feed it for ever, and a link cannot stand in for
// a file of the folder.
#ifndef SHEETKIT_REGULAR_FILE_H_
#define SHEETKIT_REGULAR_FILE_H_

#include <cstdint>
#include <filesystem>
#include <string>

namespace sheetkit {

/// What stands at `path` when it is not a plain file, links not followed:
/// "a link", "a folder", "a FIFO", "a device", "a socket" or "not a plain
/// file"; empty for a plain (regular) file and for nothing at all.
std::string not_a_plain_file(const std::filesystem::path& path);

/// Throws sheetgen::error "PATH: a FIFO, not a plain file" (with what it
/// is) unless `path` is a plain file or nothing at all.
void require_plain_file(const std::filesystem::path& path);

/// The whole of the plain file `path`, at most `limit` bytes of it. Throws
/// sheetgen::error naming the file: what it is, when it is not a plain file
/// (a link included); the OS's reason, when it cannot be opened or read;
/// "larger than LIMIT bytes", when it is. Never waits on a FIFO.
/// `given`: a file the user named on the command line, which may be a link
/// or a pipe (`<(...)`) and is then read as it comes; a folder or a device
/// is refused still, and the limit holds.
std::string read_small_file(const std::filesystem::path& path, uint64_t limit, bool given = false);

}  // namespace sheetkit

#endif  // SHEETKIT_REGULAR_FILE_H_
