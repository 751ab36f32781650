// `sheetkit verify --recipe`: makes a family run again from its recipe and
// compares it byte for byte with its files, as verify does with answers.
#ifndef SHEETKIT_RECIPE_VERIFY_H_
#define SHEETKIT_RECIPE_VERIFY_H_

#include <sheetgen/progress.h>

#include <ostream>

#include "files/instance.h"

namespace sheetkit {

// Writes "FILE: identical" or the first difference for each of the run's
// files (instance, defect, value), as verify_run writes them; reports the
// pass as "verify" (unit: items). `run` comes from run_from_recipe.
// Returns true when every file is as the recipe makes it.
bool verify_recipe(const run_info& run, std::ostream& out,
                   const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_RECIPE_VERIFY_H_
