// Item types of one instance and their block in the instance file.
#ifndef SHEETGEN_ITEMS_H_
#define SHEETGEN_ITEMS_H_

#include <cstdint>

#include "sheetgen.h"

namespace sheetgen {

class output_file;

constexpr double minratio = 0.1;  // length / (length + width) at its lowest
constexpr double maxratio = 0.9;  // and at its highest

// The current instance: entries 0 .. no_items - 1 are overwritten each time.
extern rectangle items[MAXMOD];
extern double temparea[MAXMOD];

// Sets p.minarea and p.maxarea from the object's area and the relative
// bounds. The products are single precision on purpose: stored instance
// sets were made that way.
void derive_area_bounds(run_parameters& p);

// Draws the item types of one instance and appends its block to `file`.
// Returns only on success; an item that cannot be repaired aborts the run
// before anything of its instance is written.
void generate_items(const run_parameters& p, output_file& file);

}  // namespace sheetgen

#endif  // SHEETGEN_ITEMS_H_
