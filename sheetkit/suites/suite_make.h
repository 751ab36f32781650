// `sheetkit suite make`: every set of a suite file, each in DIR/CLASS/sSEED/
// with its answers.txt and the files sheetgen writes from them, then
// manifest.tsv and SHA256SUMS, and last index.html, the suite's page.
// Kill-safe and resumable: a set is written in a temporary folder beside
// its place and renamed when complete, the manifest after the sets; making
// again keeps the complete sets and does the rest.
#ifndef SHEETKIT_SUITE_MAKE_H_
#define SHEETKIT_SUITE_MAKE_H_

#include <sheetgen/progress.h>

#include <filesystem>
#include <ostream>
#include <string>

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

class suite_maker {
 public:
  // Reads and checks the suite file, and DIR: a folder or nothing, not inside a
  // set or a made suite, empty or holding the suite of this very file
  // (another one only with `force`). Writes nothing; throws
  // sheetgen::error saying what is wrong.
  explicit suite_maker(suite_make_options o);

  // Makes the sets (those of the shard), then, for the whole suite, the
  // manifest and the page; reports on `out`, last "manifest sha256: ...". Returns 0, or
  // 2 when DIR holds sets that the file does not give (refused before
  // anything is written). Throws sheetgen::error when making fails: the
  // sets complete so far stay, no manifest is written.
  int run(std::ostream& out, std::ostream& err, const sheetgen::progress_callback& progress = {});

 private:
  suite_make_options o_;
  std::string definition_text_;
  suite_definition suite_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_MAKE_H_
