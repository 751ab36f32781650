/// \file
/// The defect file: one block per instance, one line per defect
/// ("x1\ty1\tx2\ty2", each an integer written as "12.000000"), and an
/// empty line after every block.
#ifndef SHEETGEN_DEFECT_FILE_H_
#define SHEETGEN_DEFECT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sheetgen/types.h"

namespace sheetgen {

/// Reads the lines of either file; internal to the library.
template <class Value>
class line_reader;

/// Bytes one defect line may take in a buffer given to put_defect_block:
/// four numbers of at most 11 characters, each with ".000000" and the
/// separator after it.
constexpr std::size_t defect_line_room = 4 * 19;

/// Writes one block of the defect file to `out`: a line
/// "x1\ty1\tx2\ty2\n" per defect, numbers as "12.000000", then an empty
/// line. `out` needs defects.size() * defect_line_room + 1 bytes; returns
/// the end of what was written.
char* put_defect_block(std::span<const placed_defect> defects, char* out);

/// Appends one block of the defect file to `out`, as put_defect_block writes it.
void append_defect_block(std::span<const placed_defect> defects, std::string& out);

/// Reads a defect file strictly, one block at a time, in constant memory.
///
/// It accepts exactly what sheetgen writes, except that any line may also
/// end in CR LF (line by line, so a file may mix both). Every departure
/// throws sheetgen::error with the message "NAME:LINE: what is wrong".
class defect_reader {
 public:
  /// Reads from `in` in large chunks through its streambuf, in a file of
  /// more than 256 KiB on a second thread ahead of the caller; `in` is the
  /// reader's alone until it is destroyed. `name` starts every message:
  /// "NAME:LINE: what is wrong". Throws sheetgen::error when `in` has
  /// failed already (a file that did not open).
  defect_reader(std::istream& in, std::string name);
  /// Reads the file `file`, opening it itself. With SHEETGEN_READ=map in
  /// the environment, a regular file is mapped into memory and parsed
  /// where the page cache holds it, without a copy (not on Windows, nor a
  /// file too large for a 32-bit address space). Otherwise, and anything
  /// but a regular file (a pipe), is read as a stream, as above: where the
  /// first touch of each mapped page costs more than the copy (virtual
  /// machines whose hypervisor fills the page tables), that is faster. A
  /// regular file of 8 MiB or more read so (not on Windows) is parsed on
  /// every core, in pieces handed on in order (SHEETGEN_READ=one keeps it
  /// on one thread). Same lines, same messages every way. Throws file_error when `file`
  /// cannot be opened or is a folder. A mapped file cut short (or grown)
  /// while it is read throws sheetgen::error "NAME changed while it was
  /// being read", never a signal.
  defect_reader(const std::filesystem::path& file, std::string name);
  /// Waits for a read in progress and releases the buffer; `in` stays open.
  ~defect_reader();
  /// Takes over another reader's place in the same stream.
  defect_reader(defect_reader&&) noexcept;
  /// Takes over another reader's place in the same stream.
  defect_reader& operator=(defect_reader&&) noexcept;

  /// Reads the next block into `defects` (emptied first; capacity reused).
  /// Returns false when the file has no more blocks. Throws sheetgen::error
  /// for anything the writer would not have written, including a file cut
  /// short, and for a block of more than MAXDEF defects. Checks form only:
  /// whether a defect lies on the object is for the caller to decide.
  bool next(std::vector<placed_defect>& defects);

  /// The 1-based line number of the first line of the block that `next`
  /// returned last (its first defect, or its lone empty line).
  int64_t block_line() const;

 private:
  std::unique_ptr<line_reader<placed_defect>> lines_;
};

}  // namespace sheetgen

#endif  // SHEETGEN_DEFECT_FILE_H_
