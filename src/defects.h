// Positions of the defects of one instance.
#ifndef SHEETGEN_DEFECTS_H_
#define SHEETGEN_DEFECTS_H_

#include <sheetgen/types.h>

#include "random.h"

namespace sheetgen {

// Places max(p.no_defects, 0) defects into `out`, two draws each, x first.
// The defect pass runs after every instance's items, so its draws continue
// where theirs ended.
void place_defects(const run_parameters& p, random_generator& rng, placed_defect* out);

}  // namespace sheetgen

#endif  // SHEETGEN_DEFECTS_H_
