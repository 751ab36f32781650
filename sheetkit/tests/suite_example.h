// A small suite for the suite tests: the worked example over several
// seeds (seed 1 ends in the repair abort, seed 19 is the README's run), a
// class without defects with seeds of its own, and a class with
// "complete" whose first completing seeds are 68 and 123.
#ifndef SHEETKIT_TESTS_SUITE_EXAMPLE_H_
#define SHEETKIT_TESTS_SUITE_EXAMPLE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "bytes_of.h"
#include "run_sheetkit.h"
#include "test_util.h"

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

// The suite above made with two jobs in a folder of each case's own.
class made_example : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.write("suite.json", suite_json_text);
    const cli_result made = sheetkit(
        {"suite", "make", (folder_ / "suite.json").string(), "-o", dir().string(), "-j", "2"});
    ASSERT_EQ(made.status, 0) << made.err;
    sha256_ = made.out.substr(made.out.rfind(' ') + 1, 64);
  }
  std::filesystem::path dir() const { return folder_ / "suite"; }

  sheetgen::testing::scratch_folder folder_;
  std::string sha256_;  // of its manifest, as make tells it
};

// Every file and folder under `dir` by its path from there, with a file's
// bytes ("/" marks a folder): two equal trees are byte-identical.
inline std::map<std::string, std::string> tree(const std::filesystem::path& dir) {
  std::map<std::string, std::string> all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string name = entry.path().lexically_relative(dir).generic_string();
    all[name] = entry.is_directory() ? "/" : bytes_of(entry.path());
  }
  return all;
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_SUITE_EXAMPLE_H_
