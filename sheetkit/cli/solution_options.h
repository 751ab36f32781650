// What `solution check` and `solution draw` share: where the solutions
// come from, the rules they are held to, and how one instance's solution
// is judged with the solver's claims.
#ifndef SHEETKIT_SOLUTION_OPTIONS_H_
#define SHEETKIT_SOLUTION_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "cli/run_options.h"
#include "files/instance.h"
#include "files/output_folder.h"
#include "solutions/solution_check.h"
#include "solutions/solution_source.h"

namespace sheetkit {

/// Both commands' options, and what prepare settles from them.
struct solution_options {
  run_options source;
  std::vector<std::string> solutions;
  std::string certificate = "solution.csv";
  copies_option copies;
  bool rotation = false;
  std::string claims;
  guillotine_options guillotine;
  std::string format = "text";
  CLI::Option* format_given = nullptr;
  bool json = false;
  // draw
  std::string dir;
  bool force = false;
  std::string instances = "1-4";
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::optional<output_folder> folder;

  solution_rules rules;
  bool from_export = false;                       ///< the one SOLUTIONS is an export folder
  bool placements = false;                        ///< SOLUTIONS are placement files for the run
  std::shared_ptr<solution_source> source_files;  ///< opened by prepare
};

/// Adds the options both commands take to `app`.
void add_solution_options(CLI::App& app, solution_options& o);

/// Checks the options and settles where the solutions come from; throws
/// usage_error before anything is read.
void prepare(solution_options& o);

/// Instance `in`'s solution judged, the solver's claims included; not
/// judged, with why, when it has none to judge.
judgement judge(const run_info& run, const instance& in, const solution_options& o,
                solution_source& src);

/// The files the commands read, which replacing draw's -o folder must not delete.
std::vector<std::string> solution_inputs(const solution_options& o, const run_info& run);

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_OPTIONS_H_
