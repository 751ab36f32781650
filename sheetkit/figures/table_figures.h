// The figures of a row of the paper table, read from the instances of one
// run or of a whole class of runs: exact quantiles, means and a standard
// deviation, in bounded memory whatever the number of runs.
#ifndef SHEETKIT_TABLE_FIGURES_H_
#define SHEETKIT_TABLE_FIGURES_H_

#include <cstddef>
#include <functional>
#include <span>

#include "figures/paper_table.h"
#include "files/instance.h"

namespace sheetkit {

/// Fills `row`'s figures (everything but its name, object, bounds and sets,
/// which the caller gives) from `pass`, which replays the instances of one
/// run, with the object row.length x row.width. Reads them once, or twice
/// when they hold more than rank_selector::max_kept item types. A defect's
/// part outside the object counts towards neither defect area. Throws what
/// the pass throws, and sheetgen::error when the second reading differs
/// from the first.
void compute_figures(table_row& row, const instance_pass& pass);

/// Told of an instance of the first pass, with the index of its set.
using set_visit = std::function<void(std::size_t set, const instance& in)>;

/// The same over the sets of a class, `sets[k]` replaying the k-th set's
/// instances: up to `jobs` sets are read at once, each on a thread of its
/// own, and the figures are the same for every `jobs` (and for one set,
/// the same as above). `seen`, when given, is told of every instance of
/// the first pass, on the thread that reads its set; `set_done(k)` is told
/// on this thread, in order, once the k-th set's first pass is counted in.
void compute_figures(table_row& row, std::span<const instance_pass> sets, unsigned jobs,
                     const set_visit& seen = {},
                     const std::function<void(std::size_t)>& set_done = {});

/// The paper table of one run: its one row, named by its instance file,
/// with its answers' bounds where it has answers.
paper_table run_table(const run_info& run, const instance_pass& pass);

}  // namespace sheetkit

#endif  // SHEETKIT_TABLE_FIGURES_H_
