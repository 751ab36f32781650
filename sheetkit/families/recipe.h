// The recipe of a family run: a small text file that says how to make the
// run's files again (family, parameters, defect law, instances, seed, file
// names), ending in a check over its lines so that an edited recipe is
// told from one that sheetkit wrote.
//
//   sheetgen family recipe 1
//   family knapsack type=2 items=50 length=100 width=100 copies=1
//   defects separate count=3 low=0.1 high=0.167 tries=1000   (with a law)
//   layer 2                                                   (nested layers)
//   instances 10
//   seed 7
//   instance_file instances.txt
//   defect_file defects.txt                                   (with a law)
//   value_file values.txt
//   known_optimum total_value                                 (a family that knows it)
//   check 0123456789abcdef                                    (FNV-1a, 64 bits)
#ifndef SHEETKIT_RECIPE_H_
#define SHEETKIT_RECIPE_H_

#include <sheetgen/families.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "files/instance.h"

namespace sheetkit {

// The line of a run whose every instance's optimum is known: the total
// value of all its item types, every copy placed (the perfect family).
inline constexpr const char* known_optimum_line = "known_optimum total_value";

// A family run and the names of its files (plain names, in the recipe's
// folder).
struct recipe {
  sheetgen::family_settings settings;  // complete, as family_run gives them back
  std::string instance_file = "instances.txt";
  std::string defect_file = "defects.txt";  // used only with a defect law
  std::string value_file = "values.txt";
};

// The recipe's text, check line included.
std::string recipe_text(const recipe& r);

// Reads a recipe's text strictly; `name` starts every message, "NAME:LINE:
// what is wrong". Throws sheetgen::error for a line out of place, a bad
// value (the family's own message), a file name that is not a plain name,
// or a check that does not match (an edited recipe).
recipe parse_recipe(std::string_view text, const std::string& name);

// The run that the recipe file `path` describes: its files are taken in
// the recipe's folder. Throws file_error when it cannot be read, and as
// parse_recipe.
run_info run_from_recipe(const std::string& path);

// Instance `in`'s known optimum, as read from a run of `family`'s files;
// nullopt when the family knows none.
std::optional<int64_t> known_optimum(const sheetgen::family_run& family, const instance& in);

}  // namespace sheetkit

#endif  // SHEETKIT_RECIPE_H_
