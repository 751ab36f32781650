// `sheetkit suite results`: every certificate that solvers wrote into a
// suite's export, checked against the suite's own files, and the figures
// per class and solver that a paper's table gives. Solvers sit side by
// side under their own names: in an instance folder of the export,
// SOLVER.csv is solver SOLVER's certificate and SOLVER.json its own
// output (where its time is read), SOLVER.log its log, read by nothing.
#ifndef SHEETKIT_SUITE_RESULTS_H_
#define SHEETKIT_SUITE_RESULTS_H_

#include <sheetgen/progress.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "solutions/solution_check.h"

namespace sheetkit {

/// What `suite results` reads.
struct results_options {
  std::filesystem::path dir;    ///< the made suite
  std::filesystem::path out;    ///< its export, with the solvers' certificates
  int jobs = 1;                 ///< sets checked at once
  guillotine_rules guillotine;  ///< for guillotine certificates
};

/// The figures of one solver on one class. Means, minima and maxima are
/// over the feasible solutions only; `feasible` against `instances` says
/// over how many.
struct solver_row {
  std::string cls;
  std::string solver;
  int64_t instances = 0;  ///< of the class's completed sets
  int64_t found = 0;      ///< certificates there
  int64_t feasible = 0;
  int64_t infeasible = 0;
  double utilisation_sum = 0;  ///< placed area / usable area, summed
  double utilisation_min = 0;
  double utilisation_max = 0;
  double gap_sum = 0;     ///< (area bound - placed area) / area bound, summed
  int64_t items_sum = 0;  ///< items placed, summed
  double profit_sum = 0;  ///< profit (PROFIT of the items placed), summed
  int64_t timed = 0;      ///< feasible solutions whose solver output gives the time
  double time_sum = 0;    ///< seconds, summed over those
  /// Of the instances, those whose optimum is known by construction (a
  /// perfect class): the table gives the gap to it apart from the bound's.
  int64_t optima = 0;
  int64_t optimum_feasible = 0;  ///< feasible solutions on those
  double optimum_gap_sum = 0;    ///< (known optimum - profit) / known optimum, summed over those

  int64_t missing() const { return instances - found; }
  /// Whether the means leave instances out (missing or infeasible ones).
  bool partial() const { return feasible < instances; }
};

/// A solution that is infeasible (with its first violation) or missing.
struct unsolved {
  std::string instance;  ///< "CLASS/sSEED/instance_K"
  std::string solver;
  std::string violation;  ///< the first violation's line; empty when missing
};

/// Everything `suite results` found.
struct suite_results {
  std::string suite;                 ///< the suite's name
  std::string manifest_sha256;       ///< the suite's, which the export names too
  std::string exported;              ///< how the sets were exported (their record's line)
  std::vector<std::string> solvers;  ///< every solver with a file in the export, sorted
  std::vector<solver_row> rows;      ///< per class (the suite's order), per solver
  std::vector<unsolved> infeasible;  ///< in the suite's order
  std::vector<unsolved> missing;     ///< in the suite's order
  /// Whether the tables show the mean profit: a suite with a family class,
  /// whose items carry values of their own.
  bool profits = false;

  /// Whether some row has instances with a known optimum: only then do
  /// the tables show the columns of the known optima.
  bool any_optimum() const {
    for (const solver_row& row : rows)
      if (row.optima > 0) return true;
    return false;
  }

  /// Whether every solver has a feasible solution for every instance.
  bool complete() const { return infeasible.empty() && missing.empty() && !solvers.empty(); }
};

/// Checks every certificate in the export `o.out` of the suite `o.dir`,
/// up to `o.jobs` sets at once, each reading one instance at a time; the
/// same figures for every `jobs`. Throws sheetgen::error naming the file
/// when the export is not the suite's (another manifest SHA-256, a set
/// missing, an extra or foreign file) or a certificate or solver output
/// cannot be read.
suite_results gather_results(const results_options& o,
                             const sheetgen::progress_callback& progress = {});

/// The rules a certificate is held to in an export whose sets' record is
/// `record` (see exported_text): its copies and rotation, and `guillotine`;
/// only the first violation is kept.
solution_rules export_rules(const std::string& record, const guillotine_rules& guillotine);

/// The solver output's time in seconds (PackingSolver's `--output`:
/// {"Output": {"Time": seconds, ...}, ...}); negative when the document
/// gives none. Throws sheetgen::error naming `name` when `text` is not a
/// JSON object.
double solver_time(std::string_view text, const std::string& name);

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_RESULTS_H_
