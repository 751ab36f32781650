#include "files/output_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_sheetkit.h"
#include "suite_example.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;

// A single-file output over what the command reads: the suite's own
// files, or the run's instance file. Refused (status 2), nothing changed.
TEST(OutputPath, NeverOverTheCommandsOwnInputs) {
  sheetgen::testing::scratch_folder folder;
  folder.write("suite.json", testing::suite_json_text);
  const std::string s = (folder / "S").string();
  ASSERT_EQ(sheetkit({"suite", "make", (folder / "suite.json").string(), "-o", s}).status, 0);
  const auto made = testing::tree(folder / "S");
  for (const std::string& o : {s + "/manifest.tsv", s + "/worked/s2/instances.txt", s + "/new.html",
                               s + "/../S/SHA256SUMS"}) {
    const testing::cli_result refused = sheetkit({"suite", "report", s, "-o", o});
    EXPECT_EQ(refused.status, 2) << o;
    EXPECT_EQ(refused.err.find("sheetkit: suite report: -o " + o), 0u) << refused.err;
  }
  EXPECT_EQ(testing::tree(folder / "S"), made);
  // The page's own place, and a file beside the suite, are written.
  EXPECT_EQ(sheetkit({"suite", "report", s, "-o", s + "/index.html"}).status, 0);
  EXPECT_EQ(sheetkit({"suite", "report", s, "-o", (folder / "page.html").string()}).status, 0);

  // The run's files named as JSON, written over by export.
  fs::copy_file(folder / "S/worked/s19/instances.txt", folder / "inst.json");
  const std::string inst = (folder / "inst.json").string();
  const std::string before = folder.read("inst.json");
  for (const std::string& o : {inst, (folder / "." / "inst.json").string()}) {
    const testing::cli_result refused =
        sheetkit({"export", "--to", "json", "--object", "10x10", inst, "-o", o});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "sheetkit: export: -o " + o + " would write over " + inst +
                               ", which this command reads; give another file's name\n");
  }
  EXPECT_EQ(folder.read("inst.json"), before);
}

}  // namespace
}  // namespace sheetkit
