// `sheetkit suite verify`: proves a suite folder byte for byte. Every set
// is generated again from its answers, in memory, and compared with its
// files as it goes; manifest.tsv and SHA256SUMS are held to what the
// regenerated files give; whatever belongs to no set is found too.
#ifndef SHEETKIT_SUITE_VERIFY_H_
#define SHEETKIT_SUITE_VERIFY_H_

#include <sheetgen/progress.h>

#include <filesystem>
#include <ostream>

#include "suites/suite_plan.h"

namespace sheetkit {

// Verifies the suite in `dir` (the sets of `shard` only; shard 1 and the
// whole suite also look for what belongs to no set, and the whole suite
// holds manifest.tsv and SHA256SUMS to their exact bytes). Writes a line per
// set, "SET: identical" or what differs, then a summary and the manifest's
// SHA-256. Returns 0 when everything is as the suite's file gives it, else
// 1. Throws sheetgen::error when DIR holds no readable suite.json.
int verify_suite(const std::filesystem::path& dir, int jobs, suite_shard shard, std::ostream& out,
                 const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_VERIFY_H_
