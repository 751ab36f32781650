// A small suite for the suite tests: the worked example over several
// seeds (seed 1 ends in the repair abort, seed 19 is the README's run), a
// class without defects with seeds of its own, and a class with
// "complete" whose first completing seeds are 68 and 123.
#ifndef SHEETKIT_TESTS_SUITE_EXAMPLE_H_
#define SHEETKIT_TESTS_SUITE_EXAMPLE_H_

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_sheetkit.h"

namespace sheetkit::testing {

inline const char* const suite_json_text = R"({"suite": "worked-demo",
 "seeds": [1, 2, 19],
 "classes": [
  {"name": "worked", "length": 10, "width": 10, "instances": 2, "item_types": 4,
   "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]]},
  {"name": "sheet", "length": 6000, "width": 3210, "instances": 5, "item_types": 20,
   "lower": "0.001", "upper": "0.02", "seeds": {"first": -1, "count": 3}},
  {"name": "tight", "length": 10, "width": 10, "instances": 30, "item_types": 20,
   "lower": "0.1", "upper": "0.2", "complete": true, "seeds": {"first": 60, "count": 2}}]}
)";

// Every file and folder under `dir` by its path from there, with a file's
// bytes ("/" marks a folder): two equal trees are byte-identical.
inline std::map<std::string, std::string> tree(const std::filesystem::path& dir) {
  std::map<std::string, std::string> all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string name = entry.path().lexically_relative(dir).generic_string();
    if (entry.is_directory()) {
      all[name] = "/";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      all[name] = bytes.str();
    }
  }
  return all;
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_SUITE_EXAMPLE_H_
