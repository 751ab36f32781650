// Feeds arbitrary files to the solution readers, and what they accept to
// the check against a small instance with defects. Neither may crash; the
// reader refuses with "s.csv:LINE: ..." only, and the check keeps at most
// its limit of violations in full and counts no fewer than it keeps.
//
// The instance: a 10 x 10 object, item types 3 x 5, 2 x 8, 7 x 2 and 8 x 2,
// defects (7, 0)-(10, 2) and (0, 6)-(10, 7): the worked example's first.
#include <sheetgen/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "fuzz_solution: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace sheetkit;
  static const std::vector<rectangle> items = {rectangle::of(3, 5), rectangle::of(2, 8),
                                               rectangle::of(7, 2), rectangle::of(8, 2)};
  static const std::vector<placed_defect> defects = {{7, 0, 10, 2}, {0, 6, 10, 7}};
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  try {
    solution_reader reader(in, "s.csv");
    solution s;
    while (reader.next(s)) {
      for (const bool rotation : {false, true}) {
        solution_rules rules;
        rules.rotation = rotation;
        rules.copies = rotation ? unlimited_copies : 1;
        rules.guillotine.first_stage_orientation =
            rotation ? stage_orientation::any : stage_orientation::vertical;
        const solution_report r = check_solution({rectangle::of(10, 10), items, defects}, s, rules);
        if (r.violations.size() > rules.max_violations ||
            r.violation_count < static_cast<int64_t>(r.violations.size()))
          fail("the report keeps more than it counts or than its limit", text);
        for (const violation& v : r.violations)
          if (!v.text.starts_with("s.csv")) fail("a violation without its file", v.text);
      }
    }
  } catch (const sheetgen::error& e) {
    if (!std::string_view(e.what()).starts_with("s.csv:"))
      fail("a refusal without FILE:LINE", e.what());
  }
  return 0;
}
