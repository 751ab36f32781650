// The figures of a row of the paper table, read from the instances of one
// run or of a whole class of runs: exact quantiles, means and a standard
// deviation, in bounded memory whatever the number of runs.
#ifndef SHEETKIT_TABLE_FIGURES_H_
#define SHEETKIT_TABLE_FIGURES_H_

#include "instance.h"
#include "paper_table.h"

namespace sheetkit {

/// Fills `row`'s figures (everything but its name, object, bounds and sets,
/// which the caller gives) from `pass`, which replays the instances of all
/// its runs in turn, all with the object row.length x row.width. Reads them
/// once, or twice when they hold more than rank_selector::max_kept item
/// types. A defect's part outside the object counts towards neither defect
/// area. Throws what the pass throws, and sheetgen::error when the second
/// reading differs from the first.
void compute_figures(table_row& row, const instance_pass& pass);

}  // namespace sheetkit

#endif  // SHEETKIT_TABLE_FIGURES_H_
