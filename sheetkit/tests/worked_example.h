// The README's worked example as sheetkit sees it: a 10 x 10 object,
// bounds 0.1 and 0.2 (areas 10 to 20), two instances, seed 19.
#ifndef SHEETKIT_TESTS_WORKED_EXAMPLE_H_
#define SHEETKIT_TESTS_WORKED_EXAMPLE_H_

#include <vector>

#include "instance.h"

namespace sheetkit::testing {

inline run_info worked_run() {
  run_info run;
  run.object = {100, 10, 10};
  sheetgen::run_parameters a;
  a.no_instances = 2;
  a.object = run.object;
  a.no_items = 4;
  a.minrelsize = 0.1f;
  a.maxrelsize = 0.2f;
  a.minarea = 10;
  a.maxarea = 20;
  a.no_defects = 2;
  a.defects[0] = {6, 3, 2};
  a.defects[1] = {10, 10, 1};
  a.seed = 19;
  run.answers = a;
  run.instance_file = "instances.txt";
  run.defect_file = "defects.txt";
  return run;
}

// With the lines where each block starts in either file.
inline std::vector<instance> worked_instances() {
  return {
      {1, {{15, 3, 5}, {16, 2, 8}, {14, 7, 2}, {16, 8, 2}}, {{7, 0, 10, 2}, {0, 6, 10, 7}}, 1, 1},
      {2, {{18, 3, 6}, {14, 7, 2}, {18, 2, 9}, {10, 2, 5}}, {{1, 0, 4, 2}, {0, 4, 10, 5}}, 6, 4}};
}

// Every pass visits `instances`, which must outlive the pass.
inline instance_pass replay(const std::vector<instance>& instances) {
  return [&instances](const auto& visit) {
    for (const instance& in : instances) visit(in);
  };
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_WORKED_EXAMPLE_H_
