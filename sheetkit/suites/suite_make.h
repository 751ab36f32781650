// `sheetkit suite make`: every set of a suite file, each in DIR/CLASS/sSEED/
// with its answers.txt and the files sheetgen writes from them, then
// SHA256SUMS, index.html, the suite's page, and last manifest.tsv: a
// manifest stands only in a complete suite.
// Kill-safe and resumable: a set is written in a temporary folder beside
// its place and renamed when complete, the manifest after the rest; making
// again keeps the complete sets and does the rest. One make at a time
// works in DIR (one per shard), under a lock.
#ifndef SHEETKIT_SUITE_MAKE_H_
#define SHEETKIT_SUITE_MAKE_H_

#include <sheetgen/progress.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "suites/suite_definition.h"
#include "suites/suite_plan.h"

namespace sheetkit {

struct suite_make_options {
  std::string definition_file;  // as given: messages name it so
  std::filesystem::path dir;
  int jobs = 1;
  suite_shard shard;
  bool force = false;  // DIR may hold a suite of another file
};

/// What a make did, or why it did nothing.
struct suite_make_report {
  /// Why nothing was written (sets in DIR that the file does not give, a
  /// link where make would write); empty when the make went ahead.
  std::string refusal;
  std::string suite;            ///< the suite's name
  suite_shard shard;            ///< the shard made
  int64_t made = 0;             ///< sets made now
  int64_t kept = 0;             ///< complete sets kept from before
  int64_t skipped = 0;          ///< seeds skipped, as their runs end in the repair abort
  int64_t aborted = 0;          ///< sets kept as their runs end in the repair abort
  std::string manifest_sha256;  ///< empty for a shard, which writes no manifest
};

class suite_maker {
 public:
  // Reads and checks the suite file, and DIR: a folder or nothing, not inside a
  // set or a made suite, empty or holding a suite that make began there
  // from this very file (another one only with `force`); a copy of the
  // suite file among other files is no suite. Writes nothing; throws
  // sheetgen::error saying what is wrong.
  explicit suite_maker(suite_make_options o);

  // Takes DIR's lock, makes the sets (those of the shard), then, for the
  // whole suite, the page and the manifest, and says what it did; or
  // refuses, before anything is written, when DIR holds sets that the file
  // does not give or a link where make would write. Throws sheetgen::error
  // when another make holds the lock, when a file make reads is not a
  // plain file, and when making fails: the sets complete so far stay, no
  // manifest is written.
  suite_make_report run(const sheetgen::progress_callback& progress = {});

 private:
  suite_make_options o_;
  std::string definition_text_;
  suite_definition suite_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_MAKE_H_
