// The straightforward way to generate item types: one item after the other,
// each draw from the serial generator, each number through fprintf("%f").
// Slow, but plainly the definition; the tests hold the program's own path
// to its bytes and the benchmark measures against it.
#ifndef SHEETGEN_TESTS_REFERENCE_ITEMS_H_
#define SHEETGEN_TESTS_REFERENCE_ITEMS_H_

#include <sheetgen/types.h>

#include <cstdio>
#include <filesystem>

#include "random.h"

namespace sheetgen::reference {

// One instance; false when an item cannot be repaired (nothing of the
// instance is written then).
bool generate_items(const run_parameters& p, std::FILE* file, random_generator& g);

// A whole run from answers already checked: area bounds, seed, every
// instance, then the defects. False when it ends in the repair abort.
bool run(run_parameters p, const std::filesystem::path& folder);

}  // namespace sheetgen::reference

#endif  // SHEETGEN_TESTS_REFERENCE_ITEMS_H_
