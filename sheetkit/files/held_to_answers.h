// A run's files held to its answers: every command that reads them with
// --answers stops at the first block that is not what the answers ask for,
// rather than describe other data. check lists every such problem.
#ifndef SHEETKIT_HELD_TO_ANSWERS_H_
#define SHEETKIT_HELD_TO_ANSWERS_H_

#include <sheetgen/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "files/instance.h"

namespace sheetkit {

/// Where a block differs from the answers in its counts: `found` gets the
/// file (false: the instance file, true: the defect file), the line and the
/// message, "block 2 has 3 item types, but the answers ask for 4".
/// `defects`: whether the defect file is read.
using mismatch_found = std::function<void(bool defect_file, int64_t line, const std::string&)>;
void count_mismatches(const instance& in, const sheetgen::run_parameters& answers, bool defects,
                      const mismatch_found& found);

/// "defect 2 measures 3 x 1, but the answers give 10 x 1" when the k-th
/// (0-based) defect of a block is not of the size the answers give.
std::optional<std::string> defect_size_mismatch(const placed_defect& d, std::size_t k,
                                                const sheetgen::run_parameters& answers);

/// `pass`, which reads `run`'s files in order, stopped by sheetgen::error
/// "FILE:LINE: message" at the first block whose item types, defects (when
/// `defects`) or defect sizes are not what the answers ask for, at a block
/// beyond their number of instances, and, at its end, when the files hold
/// fewer. Without answers, `pass` itself.
instance_pass held_to_answers(instance_pass pass, const run_info& run, bool defects = true);

/// The same for a part of the instance file read alone (its blocks numbered
/// from 1, their lines unknown): only each block's number of item types,
/// with a message that says no more. Read the run in order for the place.
instance_pass part_held_to_answers(instance_pass part, const run_info& run);

}  // namespace sheetkit

#endif  // SHEETKIT_HELD_TO_ANSWERS_H_
