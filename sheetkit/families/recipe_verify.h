// `sheetkit verify --recipe`: makes a family run again from its recipe and
// compares it byte for byte with its files, as verify does with answers.
#ifndef SHEETKIT_RECIPE_VERIFY_H_
#define SHEETKIT_RECIPE_VERIFY_H_

#include <sheetgen/progress.h>

#include <functional>
#include <ostream>
#include <string_view>

#include "files/instance.h"

namespace sheetkit {

// Writes "FILE: identical" or the first difference for each of the run's
// files (instance, defect, value), as verify_run writes them; reports the
// pass as "verify" (unit: items). `run` comes from run_from_recipe.
// Returns true when every file is as the recipe makes it.
//
// `made`, when set, takes the bytes of every file as the recipe makes
// them, an instance's block at a time and past any difference too: file
// 0 the instance file, 1 the defect file, 2 the value file.
using made_bytes = std::function<void(int file, std::string_view bytes)>;
bool verify_recipe(const run_info& run, std::ostream& out,
                   const sheetgen::progress_callback& progress = {}, const made_bytes& made = {});

}  // namespace sheetkit

#endif  // SHEETKIT_RECIPE_VERIFY_H_
