// Positions of the defects in every instance and the defect file.
#ifndef SHEETGEN_DEFECTS_H_
#define SHEETGEN_DEFECTS_H_

#include <cstdint>
#include <filesystem>

#include "sheetgen.h"

namespace sheetgen {

// Positions in the current instance: the corner nearest the object's
// origin, along its length (x) and its width (y).
extern int32_t defect_x[MAXDEF];
extern int32_t defect_y[MAXDEF];

// Writes the defect file: for every instance, a random position for every
// defect. Runs after all items, so its draws continue where theirs ended.
void place_defects(const run_parameters& p, const std::filesystem::path& folder);

}  // namespace sheetgen

#endif  // SHEETGEN_DEFECTS_H_
