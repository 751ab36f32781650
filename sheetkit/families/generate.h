// `sheetkit generate`'s work: a family run's files, written into a folder,
// with the recipe that makes them again.
#ifndef SHEETKIT_GENERATE_H_
#define SHEETKIT_GENERATE_H_

#include <sheetgen/families.h>
#include <sheetgen/progress.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "families/recipe.h"

namespace sheetkit {

// What was written.
struct generated {
  int64_t instances = 0;
  int64_t item_types = 0;
  int64_t defects = 0;
  std::vector<std::string> files;  // the names written, the recipe last
};

// Writes the instance file, the defect file (with a defect law), the value
// file and the recipe file `recipe_name` into `folder`, which exists,
// reporting the pass as "generate" (unit: items). Each file appears
// only when complete. Throws sheetgen::error when an instance cannot be
// made (a defect that does not fit) or a file cannot be written.
generated generate_run(const recipe& r, const std::string& recipe_name,
                       const std::filesystem::path& folder,
                       const sheetgen::progress_callback& progress = {});

// Writes the certificates of a perfect family run into `folder`: the
// placement CSV of the whole run, placements.csv, and without pinwheels
// each instance's guillotine tree in PackingSolver's rectangleguillotine
// format, certificate_K.csv. Returns the names written. Throws
// sheetgen::error for another family, or as generate_run.
std::vector<std::string> write_certificates(const recipe& r, const std::filesystem::path& folder);

// The bytes of one instance in each file, as generate_run writes them.
struct instance_text {
  std::string items, defects, values;
};
void append_instance_text(const sheetgen::family_instance& in, bool with_defects,
                          instance_text& out);

}  // namespace sheetkit

#endif  // SHEETKIT_GENERATE_H_
