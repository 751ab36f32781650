// A made suite read back from its folder, for its report page and its
// table: the suite file, every seed's status as the manifest records it,
// and the manifest's SHA-256, the number a paper cites.
#ifndef SHEETKIT_SUITE_CONTENTS_H_
#define SHEETKIT_SUITE_CONTENTS_H_

#include <sheetgen/progress.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "figures/paper_table.h"
#include "figures/table_figures.h"
#include "files/instance.h"
#include "suites/suite_definition.h"

namespace sheetkit {

/// One seed of a class: a set (completed, or kept as the run aborts) or a
/// seed skipped because its run aborts.
struct suite_seed {
  int32_t seed = 0;
  std::string_view status;  ///< one of suite_manifest.h's status_...
};

/// A class and its seeds, in the suite's order (the file's seeds; with
/// "complete", ascending).
struct class_seeds {
  const suite_class* cls = nullptr;
  std::vector<suite_seed> seeds;

  /// The seeds with `status`, in order.
  std::vector<int32_t> with(std::string_view status) const;
};

struct suite_contents {
  std::filesystem::path dir;
  suite_definition definition;
  std::string version;               ///< of sheetgen, from the manifest's header
  std::string manifest_sha256;       ///< of manifest.tsv as it is
  std::vector<class_seeds> classes;  ///< in the suite file's order; point into `definition`

  suite_contents() = default;
  suite_contents(const suite_contents&) = delete;  // `classes` points into `definition`
  suite_contents& operator=(const suite_contents&) = delete;
  suite_contents(suite_contents&&) = default;
  suite_contents& operator=(suite_contents&&) = default;
};

/// Throws sheetgen::error unless `dir` is a folder with a suite.json in it,
/// saying what the path is and what was expected: no such folder, a file
/// (a suite's JSON file given where its made folder is meant), or a folder
/// without a suite.
void require_suite_folder(const std::filesystem::path& dir);

/// Reads DIR/suite.json and DIR/manifest.tsv. Throws sheetgen::error saying
/// what is wrong and what to do: no suite there, no manifest (the suite is
/// not made to its end), or a manifest that does not fit the suite file.
/// Every file read is a plain file, not a link, and read up to a bound.
suite_contents read_suite_contents(const std::filesystem::path& dir);

/// The same with the manifest's text given: as make has it, before it is
/// written.
suite_contents read_suite_contents(const std::filesystem::path& dir, const std::string& manifest);

/// Throws sheetgen::error when the files of a set under `dir` are not
/// plain files in plain folders (a link, a FIFO, a device), naming the
/// first: the readers would follow it out of the suite, or wait on it.
void require_plain_set(const std::filesystem::path& dir, const run_info& in_suite);

/// The instance and defect files of a set, relative to the suite's folder
/// ("worked/s2/instances.txt") or, given `dir`, under it; the defect file
/// is empty without defects.
run_info set_run(const suite_class& c, int32_t seed, const std::filesystem::path& dir = {});

/// A pass over the instances of every completed set of `c`, set after set,
/// reading the files under `dir`. Each instance's number counts on over
/// the sets. Progress is reported per pass as "PASS CLASS" (instances of
/// the class done, of all of them).
instance_pass class_pass(const std::filesystem::path& dir, const class_seeds& c,
                         std::string_view pass = {},
                         const sheetgen::progress_callback& progress = {});

/// A row of the paper table with the class's name, object, bounds and
/// number of completed sets; compute_figures fills in the rest.
table_row class_heading(const class_seeds& c);

/// compute_figures over the completed sets of `c`, up to `jobs` of them
/// read at once, with the files under `dir`; progress is reported as
/// "PASS CLASS" after each set (instances of the class done, of all of them).
void class_figures(table_row& row, const std::filesystem::path& dir, const class_seeds& c,
                   unsigned jobs, std::string_view pass,
                   const sheetgen::progress_callback& progress, const set_visit& seen = {});

/// The paper table of the suite: one row per class, over its completed
/// sets, up to `jobs` read at once (the same table for every `jobs`).
paper_table suite_table(const suite_contents& suite,
                        const sheetgen::progress_callback& progress = {}, unsigned jobs = 1);

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_CONTENTS_H_
