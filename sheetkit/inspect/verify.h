// `sheetkit verify`: generates a run again from its answers, in memory,
// and compares it byte for byte with the files on disk as it goes, in
// constant memory and at the generator's speed.
#ifndef SHEETKIT_VERIFY_H_
#define SHEETKIT_VERIFY_H_

#include <sheetgen/progress.h>
#include <sheetgen/types.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "files/source.h"

namespace sheetgen {
class mapped_file;
}  // namespace sheetgen

namespace sheetkit {

// Writes "FILE: identical" for each file, or its first difference:
//   FILE:LINE: differs                 (or "file ends early at line N",
//     expected: ...                     "file has more after line N")
//     found:    ...
// with tabs shown as \t. Answers whose run ends in the repair failure are
// held to what sheetgen leaves then: the blocks finished before it, and no
// defect file. The files are taken relative to the current folder.
// Reports the run's passes ("items", "defects") to `progress`. Returns
// true when every file is as the run writes it.
bool verify_run(const sheetgen::run_parameters& answers, std::ostream& out,
                const sheetgen::progress_callback& progress = {});

// What verify_run_files found.
struct run_verdict {
  bool identical = false;     // every file as the run writes it
  bool repair_abort = false;  // the run ends in sheetgen's repair failure
};

// Takes the bytes of a file as the run writes it, a block at a time, in
// order: `defect_file` tells which file.
using written_bytes = std::function<void(bool defect_file, std::string_view bytes)>;

// verify_run, telling also how the run ends, and handing every block the
// run writes to `written` (when set), past any difference too.
run_verdict verify_run_files(const sheetgen::run_parameters& answers, std::ostream& out,
                             const sheetgen::progress_callback& progress,
                             const written_bytes& written);

// One file compared with the bytes expected of it, a block at a time as
// they come: a regular file where the page cache holds it, through a memory
// mapping; anything else reading each block's bytes once into a buffer of
// its size. No copy of the file, no more memory than the largest block.
class file_comparison {
 public:
  // Opens `name`; one that cannot be read is the outcome (see report).
  // `block_room`: the largest block compare() will be given.
  file_comparison(std::string name, std::size_t block_room);
  ~file_comparison();

  // Whether the first difference is known (and nothing more is read).
  bool done() const { return outcome_ != outcome::same; }
  // The next block expected, `lines` lines long.
  void compare(std::string_view expected, int64_t lines);
  // After the last block: the file must end there.
  void finish();
  bool identical() const { return outcome_ == outcome::same; }
  // "NAME: identical" followed by `note`, or the first difference (as
  // verify_run shows it), or why the file cannot be read.
  void report(std::ostream& out, std::string_view note = {}) const;

 private:
  enum class outcome { same, missing, differs, shorter, longer };

  // Up to n bytes, fewer only at the file's end (or a read error, which a
  // stream cannot tell from it).
  std::size_t read(char* to, std::size_t n);
  // Whether a mapped file changed under the comparison: then that is the
  // outcome.
  bool changed();
  // found_ continues in the file: up to its line's end, for so long as it is shown.
  void read_rest_of_line();
  // A read that the OS failed: the outcome, naming the file and the reason.
  void read_failed(const std::system_error& e);

  std::string name_;
  std::unique_ptr<sheetgen::mapped_file> map_;  // or, not a regular file, the stream
  std::size_t at_ = 0;                          // in the mapping, of what is compared
  std::size_t populated_ = 0;                   // of the mapping, made resident ahead
  std::ifstream in_;
  std::vector<char> buffer_;
  outcome outcome_ = outcome::same;
  std::string missing_;  // why the file cannot be read
  int64_t line_ = 0;     // lines found equal; then the line of the difference
  std::string expected_;
  std::string found_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_VERIFY_H_
