// `sheetkit suite export`: a made suite in the form a solver reads, in a
// folder beside it that mirrors it, OUT/CLASS/sSEED/ per completed set,
// each holding what `export` writes for that one run. Solvers then write
// their certificates into it; `suite results` reads them back. The suite's
// own folder is never written.
#ifndef SHEETKIT_SUITE_EXPORT_H_
#define SHEETKIT_SUITE_EXPORT_H_

#include <sheetgen/progress.h>

#include <filesystem>
#include <ostream>
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

/// Exports every completed set of the suite (those that the shard takes)
/// and reports on `out`. Each set is written in a temporary folder beside
/// its place and renamed there when complete; a set already exported with
/// the same options is kept (with whatever solvers wrote into it since),
/// so a killed export resumes. Returns 0, or 2 (with a message on `err`,
/// nothing written) when OUT holds the export of another suite or of
/// other options, or files that are no export. Throws sheetgen::error when
/// the suite cannot be read or a set cannot be written: the sets complete
/// so far stay.
int export_suite(const suite_export_options& o, std::ostream& out, std::ostream& err,
                 const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_EXPORT_H_
