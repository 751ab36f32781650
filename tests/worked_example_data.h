// The README's worked example, the one run whose every output the tests
// know by heart: its answers, the item types and defect positions it
// generates, and the two files it writes. Header-only and library types
// only, so that every test and fuzz target can share this one copy.
#ifndef SHEETGEN_TESTS_WORKED_EXAMPLE_DATA_H_
#define SHEETGEN_TESTS_WORKED_EXAMPLE_DATA_H_

#include <sheetgen/types.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace sheetgen::testing {

// A line of either file, numbers as the writers write them:
// line({3, 5, 15}) is "3.000000\t5.000000\t15.000000\n".
inline std::string line(std::initializer_list<long long> numbers) {
  std::string s;
  for (const long long n : numbers) {
    if (!s.empty()) s += '\t';
    s += std::to_string(n);
    s += ".000000";
  }
  s += '\n';
  return s;
}

}  // namespace sheetgen::testing

namespace sheetgen::testing::worked {

inline constexpr int32_t instances = 2;
inline constexpr int32_t length = 10;
inline constexpr int32_t width = 10;
inline constexpr int32_t items = 4;
inline constexpr const char* minrel = "0.1";  // as answered
inline constexpr const char* maxrel = "0.2";
inline constexpr int32_t minarea = 10;  // derived from the bounds
inline constexpr int32_t maxarea = 20;
inline constexpr const char* instance_file = "instances.txt";
inline constexpr const char* defect_file = "defects.txt";
inline constexpr int32_t seed = 19;

// Length and width of each defect, in the order entered.
inline std::vector<std::pair<int32_t, int32_t>> defect_sizes() { return {{3, 2}, {10, 1}}; }

// The answers as the dialogue reads them, area bounds derived.
inline run_parameters parameters() {
  run_parameters p;
  p.no_instances = instances;
  p.object = rectangle::of(length, width);
  p.no_items = items;
  p.minrelsize = 0.1f;
  p.maxrelsize = 0.2f;
  p.minarea = minarea;
  p.maxarea = maxarea;
  const auto sizes = defect_sizes();
  p.no_defects = static_cast<int32_t>(sizes.size());
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    p.defects[k] = rectangle::of(sizes[k].first, sizes[k].second);
  }
  p.filename = instance_file;
  p.defectfilename = defect_file;
  p.seed = seed;
  return p;
}

// The item types of each instance, as generated.
inline std::vector<std::vector<rectangle>> item_blocks() {
  using r = rectangle;
  return {{r::of(3, 5), r::of(2, 8), r::of(7, 2), r::of(8, 2)},
          {r::of(3, 6), r::of(7, 2), r::of(2, 9), r::of(2, 5)}};
}

// The defects of each instance, as placed.
inline std::vector<std::vector<placed_defect>> defect_blocks() {
  return {{{.x1 = 7, .y1 = 0, .x2 = 10, .y2 = 2}, {.x1 = 0, .y1 = 6, .x2 = 10, .y2 = 7}},
          {{.x1 = 1, .y1 = 0, .x2 = 4, .y2 = 2}, {.x1 = 0, .y1 = 4, .x2 = 10, .y2 = 5}}};
}

// The lines of instance k's block (0-based), without its empty line.
inline std::string item_lines(std::size_t k) {
  const auto blocks = item_blocks();
  std::string s;
  for (const rectangle& r : blocks[k]) s += line({r.length, r.width, r.area});
  return s;
}
inline std::string defect_lines(std::size_t k) {
  const auto blocks = defect_blocks();
  std::string s;
  for (const placed_defect& d : blocks[k]) s += line({d.x1, d.y1, d.x2, d.y2});
  return s;
}

// The two files, whole.
inline std::string instance_file_text() { return item_lines(0) + "\n" + item_lines(1) + "\n"; }
inline std::string defect_file_text() { return defect_lines(0) + "\n" + defect_lines(1) + "\n"; }

}  // namespace sheetgen::testing::worked

#endif  // SHEETGEN_TESTS_WORKED_EXAMPLE_DATA_H_
