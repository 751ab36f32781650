// The one judge of a solution: what `solution check`, `suite results`, the
// results page and Python's check all call, so that none can say feasible
// where another says not. It finds an instance's solution in a file,
// holds the export's files and record to our instance, and checks and
// scores what it read.
#ifndef SHEETKIT_JUDGE_H_
#define SHEETKIT_JUDGE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "solutions/export_contract.h"
#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetkit {

/// What one instance's solution is judged against.
struct judge_case {
  solution_instance instance;  ///< our files' instance
  int64_t number = 1;          ///< its 1-based number in the run
  solution_rules rules;        ///< copies, rotation, guillotine settings, violations kept
  /// The export's contract for this instance (see read_export_contract):
  /// its copies and rotation replace the rules', its differences are
  /// violations. Null when the solution is not read from an export.
  const export_contract* contract = nullptr;
};

/// The verdict on one instance's solution.
struct judgement {
  bool judged = false;  ///< false: there was nothing to judge, and `why` says why
  std::string why;      ///< `FILE: why`, when not judged
  solution read;        ///< the solution as read
  solution_report report;
};

/// Reads `file` as instance `c.number`'s solution and judges it. `name`,
/// where not empty, names the file in the violations. Not judged, with
/// the reason, when the file is missing, cannot be read, is refused by the
/// reader, or holds placements of another instance than `c.number`.
judgement judge_file(const judge_case& c, const std::filesystem::path& file,
                     const std::string& name = {});

/// Reads the rest of `reader` (its header read, the file named `file` in
/// messages) as instance `c.number`'s solution and judges it, as judge_file.
judgement judge_reader(const judge_case& c, solution_reader& reader, const std::string& file);

/// Judges `s`, already read (placement files read in order, Python's
/// arrays): the check under `c.rules` and `c.contract`.
judgement judge_solution(const judge_case& c, solution s);

}  // namespace sheetkit

#endif  // SHEETKIT_JUDGE_H_
