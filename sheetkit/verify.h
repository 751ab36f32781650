// `sheetkit verify`: generates a run again from its answers, in memory,
// and compares it byte for byte with the files on disk as it goes, in
// constant memory and at the generator's speed.
#ifndef SHEETKIT_VERIFY_H_
#define SHEETKIT_VERIFY_H_

#include <sheetgen/progress.h>
#include <sheetgen/types.h>

#include <ostream>

#include "source.h"

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

}  // namespace sheetkit

#endif  // SHEETKIT_VERIFY_H_
