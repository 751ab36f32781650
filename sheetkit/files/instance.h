// What sheetkit knows of a run, and one instance of it as read from the
// files (or generated again from the answers).
#ifndef SHEETKIT_INSTANCE_H_
#define SHEETKIT_INSTANCE_H_

#include <sheetgen/families.h>
#include <sheetgen/types.h>
#include <sheetgen/value_file.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sheetkit {

using sheetgen::placed_defect;
using sheetgen::rectangle;

// The run as far as it is known: always the object; the answers (and with
// them the area bounds, counts and seed) only when an answers file was given.
struct run_info {
  rectangle object;                                 // length, width, area (64-bit safe: < 2^31)
  std::optional<sheetgen::run_parameters> answers;  // with minarea / maxarea derived
  std::string instance_file;                        // names as given, for messages and titles
  std::string defect_file;                          // empty when there is none
  std::string value_file;                           // a family run's values and copies, or empty
  std::optional<sheetgen::family_settings> family;  // a family run's, from its recipe
};

// One instance: its block of item types and its block of defects.
struct instance {
  int64_t number = 0;  // 1-based, in file order
  std::vector<rectangle> items;
  std::vector<placed_defect> defects;        // empty when there is no defect file
  int64_t item_line = 0;                     // line of the block's first line in the instance file
  int64_t defect_line = 0;                   // the same in the defect file (0 without one)
  std::vector<sheetgen::item_value> values;  // a family run's, one per item type; else empty
};

// Calls `visit` for every instance, in order. A pass may be made more than
// once (for exact medians in constant memory); every pass sees the same data.
using instance_pass = std::function<void(const std::function<void(const instance&)>& visit)>;

}  // namespace sheetkit

#endif  // SHEETKIT_INSTANCE_H_
