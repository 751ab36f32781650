// What a suite records of its sets: manifest.tsv (every set file with its
// size and SHA-256, and the seeds skipped), SHA256SUMS (for sha256sum -c),
// and the small record each set keeps in its folder, .done, from which the
// manifest is written without reading the files again.
#ifndef SHEETKIT_SUITE_MANIFEST_H_
#define SHEETKIT_SUITE_MANIFEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "suites/suite_definition.h"

namespace sheetkit {

// A set's status as the manifest writes it.
inline constexpr std::string_view status_completed = "completed";
inline constexpr std::string_view status_repair_abort = "repair abort";
inline constexpr std::string_view status_skipped = "skipped: repair abort";

// One file of a set.
struct set_file {
  std::string name;  // "answers.txt" or "recipe.txt", "instances.txt", "defects.txt", ...
  uint64_t bytes = 0;
  std::string sha256;

  friend bool operator==(const set_file&, const set_file&) = default;
};

// A set, or a seed skipped because its run ends in the repair abort.
struct set_record {
  const suite_class* cls = nullptr;
  int32_t seed = 0;
  std::string_view status;
  std::vector<set_file> files;  // sorted by name; none when skipped
};

// manifest.tsv: a header line, the column names, then one row per set file
// (one per skipped seed), sorted by the file column (the set's, for a
// skipped seed) in byte order. With `laws` (a suite with a family class),
// a last column "law" names the law of each set (suite_class::law).
std::string manifest_text(std::string_view suite, std::string_view version,
                          const std::vector<set_record>& sets, bool laws = false);

// The version of sheetgen that a manifest's header names; empty when the
// header is not one.
std::string manifest_version(std::string_view manifest);

// SHA256SUMS: "SHA256  SET/FILE" for every set file, sorted by name.
std::string sums_text(const std::vector<set_record>& sets);

// Most bytes of a .done that are read: three short lines, and room.
constexpr uint64_t max_done_bytes = 4096;

// Most bytes the manifest of `suite` can have (with every seed a class
// with "complete" may skip): what is read of one, and of SHA256SUMS.
uint64_t max_manifest_bytes(const suite_definition& suite);

// .done: the status, then "NAME\tBYTES\tSHA256" per file, the set's
// source (answers.txt, recipe.txt) first, then the others by name.
std::string done_text(const set_record& set);
// The files a set of `c` with `status` holds, in its record's order.
std::vector<std::string> set_file_names(const suite_class& c, std::string_view status);
// Reads .done back for the set `c`, `seed`; nothing when it is not one.
std::optional<set_record> read_done(std::string_view text, const suite_class& c, int32_t seed);

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_MANIFEST_H_
