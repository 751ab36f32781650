// The README's worked example as sheetkit sees it: the run and its
// instances, made from the one copy of its data in tests/.
#ifndef SHEETKIT_TESTS_WORKED_EXAMPLE_H_
#define SHEETKIT_TESTS_WORKED_EXAMPLE_H_

#include <vector>

#include "files/instance.h"
#include "worked_example_data.h"

namespace sheetkit::testing {

// The worked example's total item area, worked out by hand from its items:
// 60 and 61 of the object's 100 in its two instances. The figures' tests
// hold their computations to these; the writers' tests only format them.
inline constexpr double worked_total_area_mean = 60.5;
inline constexpr double worked_total_area_relative_mean = 0.605;

inline run_info worked_run() {
  namespace worked = sheetgen::testing::worked;
  run_info run;
  run.answers = worked::parameters();
  run.object = run.answers->object;
  run.instance_file = worked::instance_file;
  run.defect_file = worked::defect_file;
  return run;
}

// With the lines where each block starts in either file.
inline std::vector<instance> worked_instances() {
  namespace worked = sheetgen::testing::worked;
  const auto items = worked::item_blocks();
  const auto defects = worked::defect_blocks();
  std::vector<instance> out;
  int64_t item_line = 1;
  int64_t defect_line = 1;
  for (std::size_t k = 0; k < items.size(); ++k) {
    out.push_back({static_cast<int64_t>(k) + 1, items[k], defects[k], item_line, defect_line, {}});
    item_line += static_cast<int64_t>(items[k].size()) + 1;
    defect_line += static_cast<int64_t>(defects[k].size()) + 1;
  }
  return out;
}

// Every pass visits `instances`, which must outlive the pass.
inline instance_pass replay(const std::vector<instance>& instances) {
  return [&instances](const auto& visit) {
    for (const instance& in : instances) visit(in);
  };
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_WORKED_EXAMPLE_H_
