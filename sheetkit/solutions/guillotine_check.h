// A guillotine certificate's cutting tree held to the object and to the
// solver's settings: one tree per plate, pieces that tile their parent
// exactly, cuts of one orientation per level, alternating, no more levels
// than stages, no cut through a defect.
#ifndef SHEETKIT_GUILLOTINE_CHECK_H_
#define SHEETKIT_GUILLOTINE_CHECK_H_

#include <cstddef>
#include <functional>

#include "solutions/solution_check.h"

namespace sheetkit {

/// Adds to `report` (keeping `keep` in full) everything wrong with the
/// tree in `s.nodes` (see guillotine_rules). The item leaves' sides, places
/// and copies are the general check's; this one checks the cuts. `poll`,
/// when set, is called every few thousand nodes and may throw to abandon it.
void check_guillotine_tree(const solution_instance& instance, const solution& s,
                           const guillotine_rules& rules, solution_report& report, std::size_t keep,
                           const std::function<void()>& poll = {});

}  // namespace sheetkit

#endif  // SHEETKIT_GUILLOTINE_CHECK_H_
