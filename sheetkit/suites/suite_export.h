// `sheetkit suite export`: a made suite in the form a solver reads, in a
// folder beside it that mirrors it, OUT/CLASS/sSEED/ per completed set,
// each holding what `export` writes for that one run. Solvers then write
// their certificates into it; `suite results` reads them back. The suite's
// own folder is never written.
#ifndef SHEETKIT_SUITE_EXPORT_H_
#define SHEETKIT_SUITE_EXPORT_H_

#include <sheetgen/progress.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "suites/suite_plan.h"

namespace sheetkit {

/// What `suite export` is asked to do.
struct suite_export_options {
  std::filesystem::path dir;  ///< the made suite
  std::filesystem::path out;  ///< the export's folder
  std::string to;             ///< "packingsolver", "json", "jsonl", "roadef2018" or "2dpacklib"
  std::string copies = "1";   ///< COPIES of every item type: a count or "unlimited"
  bool rotation = false;      ///< whether the solver may turn items (ORIENTED 0)
  bool drop = false;          ///< roadef2018, 2dpacklib: leave out what the format cannot carry
  int jobs = 1;
  suite_shard shard;
};

/// The file in OUT that names the suite it was exported from: the suite's
/// manifest SHA-256 and a line feed.
inline constexpr const char* export_sha256_file = "suite.sha256";

/// The record each exported set keeps in its folder: the format and
/// options it was exported with. Its presence marks the set as complete.
inline constexpr const char* exported_file = ".exported";

/// What a set's record holds for `o`: one line naming the format and the
/// contract, so that a resumed export and `suite results` know it.
std::string exported_text(const suite_export_options& o);

/// What an export did, or why it did nothing.
struct suite_export_report {
  /// Why nothing was written: OUT holds the export of another suite or of
  /// other options, files that are no export, or another export runs
  /// into it. Empty when the export went ahead.
  std::string refusal;
  std::string suite;             ///< the suite's name
  suite_shard shard;             ///< the shard exported
  int64_t exported = 0;          ///< sets written now
  int64_t kept = 0;              ///< sets kept from an earlier export
  std::string manifest_sha256;   ///< the suite's, as OUT's record names it
  std::filesystem::path record;  ///< that record: OUT/suite.sha256
};

/// Exports every completed set of the suite (those that the shard takes)
/// and says what it did. Each set is written in a temporary folder beside
/// its place and renamed there when complete; a set already exported with
/// the same options is kept (with whatever solvers wrote into it since),
/// so a killed export resumes. Refuses, writing nothing, when OUT holds
/// the export of another suite or of other options, or files that are no
/// export. Throws sheetgen::error when the suite cannot be read or a set
/// cannot be written: the sets complete so far stay.
suite_export_report export_suite(const suite_export_options& o,
                                 const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_EXPORT_H_
