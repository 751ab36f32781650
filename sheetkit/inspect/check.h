// `sheetkit check`: reads a run's files strictly and checks all that can be
// known of them without generating the run again.
//
// Always: the form of every line (the file readers), area = length x width,
// every defect inside the object, the same number of blocks in both files,
// and a file cut short named as such. With the answers also: the area
// bounds, the number of blocks, of item types and of defects in each, and
// every defect's size. Without them, what the files alone tell: every block
// has as many item types and defects as the first, and the k-th defect the
// same size. Item types longer or wider than the object (sheetgen writes
// them when no shape of their area fits) are notes, not problems.
#ifndef SHEETKIT_CHECK_H_
#define SHEETKIT_CHECK_H_

#include <sheetgen/progress.h>

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>

#include "files/files.h"
#include "files/instance.h"

namespace sheetkit {

// Most problems listed; the rest are only counted.
constexpr int64_t max_problems_shown = 20;

// Checks the files that `run` names (relative to the current folder),
// reporting its pass as "check" (unit "lines", of both files). Writes each
// problem as "FILE:LINE: message" and then "... and N more problems" past
// the first 20; or, when there are none, one summary line. Then the notes:
// the first item types longer or wider than the object as "FILE:LINE:
// note: ...", and a line "note: N item types ..." with their number.
// Returns the number of problems found (notes are none). Throws file_error
// when the instance file cannot be opened; a defect file that cannot be is
// given to `unreadable`, counted as a problem, and the instances are
// checked alone.
int64_t check_files(const run_info& run, std::ostream& out,
                    const std::function<void(const file_error&)>& unreadable,
                    const sheetgen::progress_callback& progress = {});

// The same on open streams; `defects` may be null (no defect file to read,
// though `run` may name one). For tests and fuzzing.
int64_t check_streams(const run_info& run, std::istream& instances, std::istream* defects,
                      std::ostream& out, const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_CHECK_H_
