// The real solver certificates in data/solver/ and their instance, for the
// solution tests: read once, and planted with faults by line.
#ifndef SHEETKIT_TESTS_SOLVER_CERTIFICATES_H_
#define SHEETKIT_TESTS_SOLVER_CERTIFICATES_H_

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/instance_reader.h"
#include "files/source.h"
#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetkit::testing {

inline std::string solver_data(const std::string& name) {
  return SHEETGEN_SOURCE_DIR "/sheetkit/tests/data/solver/" + name;
}

inline std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The instance the certificates solve.
struct solver_instance {
  std::vector<rectangle> items;
  std::vector<placed_defect> defects;
  solution_instance view() const { return {rectangle::of(6000, 3210), items, defects}; }

  solver_instance() {
    std::ifstream i(solver_data("instances.txt"), std::ios::binary);
    std::ifstream d(solver_data("defects.txt"), std::ios::binary);
    instance_reader reader(i, "instances.txt", &d, "defects.txt");
    instance in;
    reader.next(in);
    items = in.items;
    defects = in.defects;
  }
};

// `text` with its 1-based line `n` replaced by `line` (appended past the end).
inline std::string with_line(std::string text, int n, const std::string& line) {
  std::size_t start = 0;
  for (int k = 1; k < n && start != std::string::npos; ++k) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos || start >= text.size()) return text + line + "\n";
  return text.replace(start, text.find('\n', start) - start, line);
}

// The one solution in `text`, read as file `name`.
inline solution read_text(const std::string& text, const std::string& name = "solution.csv") {
  std::istringstream in(text);
  solution_reader reader(in, name);
  solution s;
  reader.next(s);
  return s;
}

// Whether any of the report's lines contains `part`.
inline bool says(const solution_report& r, const std::string& part) {
  for (const std::string& l : r.lines())
    if (l.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_SOLVER_CERTIFICATES_H_
