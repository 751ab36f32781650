// The picture of a solution (solution draw): a solver's placement on the
// object, with what is wrong with it marked.
#ifndef SHEETKIT_SOLUTION_PICTURE_H_
#define SHEETKIT_SOLUTION_PICTURE_H_

#include <ostream>

#include "files/instance.h"
#include "pictures/svg.h"
#include "solutions/placement.h"
#include "solutions/solution_check.h"

namespace sheetkit {

/// At most this many items are drawn one by one; a larger placement is
/// drawn up to here, and the caption says so.
constexpr std::size_t max_drawn_items = 50000;

/// Writes the picture of `s`, a solution of `inst` in `run`, judged in
/// `report`: the object to scale (a thin one stretched across, as in draw),
/// the items filled by type and labelled with it where the label fits, our
/// defects hatched on top of them, a guillotine tree's cuts as lines
/// whose weight falls level by level, the violations that have a place
/// outlined in red and numbered as the check lists them, and a caption with
/// the figures. Throws sheetgen::error when the object has no area to draw on.
void render_solution(std::ostream& out, const run_info& run, const instance& inst,
                     const solution& s, const solution_report& report, const svg::form& how);

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_PICTURE_H_
