// Item types of one instance.
#ifndef SHEETGEN_ITEMS_H_
#define SHEETGEN_ITEMS_H_

#include <sheetgen/types.h>

#include "random.h"

namespace sheetgen {

constexpr double minratio = 0.1;  // length / (length + width) at its lowest
constexpr double maxratio = 0.9;  // and at its highest

// Draws max(p.no_items, 0) <= MAXMOD item types into `items`, continuing
// `rng`. Throws error when an item cannot be repaired; the items before it
// are then worthless, since their instance is never complete.
void generate_items(const run_parameters& p, random_generator& rng, rectangle* items);

}  // namespace sheetgen

#endif  // SHEETGEN_ITEMS_H_
