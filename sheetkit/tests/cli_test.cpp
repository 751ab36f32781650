#include "cli.h"

#include <gtest/gtest.h>
#include <sheetgen/version.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;

const std::string worked_example = SHEETGEN_SOURCE_DIR "/examples/worked_example.txt";

struct result {
  int status;
  std::string out;
  std::string err;
};

result sheetkit(std::vector<const char*> args) {
  args.insert(args.begin(), "sheetkit");
  std::ostringstream out, err;
  const int status = sheetkit_main(static_cast<int>(args.size()), args.data(), out, err);
  return {status, out.str(), err.str()};
}

// The worked example's files, made by sheetgen in a scratch folder that is
// the current folder during the test.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(worked_example);
    std::ostringstream answers;
    answers << in.rdbuf();
    ASSERT_EQ(sheetgen::testing::run_with(answers.str(), folder_.path()).status, 0);
    fs::current_path(folder_.path());
  }
  void TearDown() override { fs::current_path(home_); }

  sheetgen::testing::scratch_folder folder_;

 private:
  fs::path home_ = fs::current_path();
};

TEST_F(Cli, WorkedExampleThroughEveryCommand) {
  const char* a = worked_example.c_str();
  const result check = sheetkit({"check", "--answers", a});
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(
      check.out,
      "instances.txt, defects.txt: 2 instances, 8 item types, 4 defects; no problems found\n");
  EXPECT_EQ(sheetkit({"check", "--object", "10x10", "instances.txt", "defects.txt"}).status, 0);
  const result verify = sheetkit({"verify", "--answers", a});
  EXPECT_EQ(verify.status, 0);
  EXPECT_EQ(verify.out, "instances.txt: identical\ndefects.txt: identical\n");

  // Their own tests hold the figures; here they must run and say something.
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"stats", "--answers", a},
           {"stats", "--answers", a, "--json", "--per-instance"},
           {"stats", "--object", "10x10", "instances.txt"},
           {"export", "--answers", a, "--to", "json", "-o", "-"}}) {
    const result r = sheetkit(args);
    EXPECT_EQ(r.status, 0) << args[0] << r.err;
    EXPECT_FALSE(r.out.empty()) << args[0];
    EXPECT_EQ(r.err, "");
  }
  const result json = sheetkit({"export", "--answers", a, "--to", "json", "-o", "out"});
  EXPECT_EQ(json.out, "out/run.json\n");
  EXPECT_TRUE(fs::is_regular_file("out/run.json"));
  const result csv = sheetkit({"export", "--answers", a, "--to", "packingsolver", "-o", "ps"});
  EXPECT_EQ(
      csv.out,
      "ps/instance_1 to ps/instance_2 (2 instances: items.csv, bins.csv, defects.csv each)\n");
  EXPECT_TRUE(fs::is_regular_file("ps/instance_2/defects.csv"));

  // The default 1-4 is clipped to the run's two instances, and so is a list.
  EXPECT_EQ(sheetkit({"draw", "--answers", a, "-o", "pictures"}).out,
            "pictures/instance_1.svg\npictures/instance_2.svg\npictures/defects.svg\npictures/"
            "items.svg\n");
  const result listed =
      sheetkit({"draw", "--object", "10x10", "instances.txt", "--instances", "2,3-9", "-o", "p"});
  EXPECT_EQ(listed.out, "p/instance_2.svg\np/defects.svg\np/items.svg\n");
  EXPECT_EQ(listed.err, "draw: the run has 2 instances; the others are left out\n");
}

TEST_F(Cli, UsageErrorsAndProblemsHaveTheirStatus) {
  const char* a = worked_example.c_str();
  folder_.write("bad.answers", "2\n10\n0\n");
  folder_.write("same.answers", "1\n10\n10\n4\n0.1\n0.2\n1\n1 1\nx.txt ./x.txt\n5\n");
  struct call {
    std::vector<const char*> args;
    int status;
    std::string err;
  };
  const call calls[] = {
      {{"frobnicate"},
       2,
       "sheetkit: unknown command \"frobnicate\" (commands: check, stats, draw, export, "
       "verify, suite)\nRun with --help for more information.\n"},
      {{"check"},
       2,
       "sheetkit check: give --answers FILE, or --object LENGTHxWIDTH INSTANCE_FILE "
       "[DEFECT_FILE]\n"},
      {{"check", "--object", "10by10", "instances.txt"},
       2,
       "sheetkit check: --object: expected LENGTHxWIDTH, two positive integers such as "
       "20000x20000, not \"10by10\"\n"},
      {{"check", "--answers", a, "--object", "10x10", "instances.txt"},
       2,
       "--answers excludes --object\nRun with --help for more information.\n"},
      {{"stats", "--answers", "nowhere.answers"},
       2,
       "sheetkit stats: Cannot read file nowhere.answers!\n"},
      {{"verify", "--answers", "bad.answers"},
       2,
       "sheetkit verify: bad.answers:3: the object's width: The large object's length and width "
       "must be positive and their product must not exceed 2147483647!\n"},
      // Names that do not exist yet, one file: the dialogue refuses them.
      {{"check", "--answers", "same.answers"},
       2,
       "sheetkit check: same.answers:9: the defect file name: The defect file must differ from "
       "the instance file!\n"},
      {{"check", "--answers", SHEETGEN_SOURCE_DIR "/README.md"},
       2,
       "sheetkit check: " SHEETGEN_SOURCE_DIR
       "/README.md:1: the number of instances: Input is not a valid number!\n"},
      {{"draw", "--answers", a, "-o", "p", "--instances", "0-3"},
       2,
       "sheetkit draw: --instances: expected numbers and ranges such as 1-4,7, not \"0-3\"\n"},
      {{"stats", "--object", "10x10", "nowhere.txt"}, 1, "Cannot read file nowhere.txt!\n"},
      {{"export", "--answers", a, "--to", "json", "-o", "instances.txt"},
       1,
       "Cannot create folder instances.txt!\n"},
      {{"draw", "--object", "10x10", "defects.txt", "-o", "p"},
       1,
       "defects.txt:1: expected 3 numbers separated by tabs, found 4: "
       "\"7.000000\\t0.000000\\t10.000000\\t2.000000\"\n"},
  };
  for (const call& c : calls) {
    const result r = sheetkit(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]) << " " << r.err;
    EXPECT_EQ(r.err, c.err);
  }
  // Problems found are status 1, and go to standard output.
  folder_.write("defects.txt", "\n");
  const result check = sheetkit({"check", "--answers", a});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out.substr(0, 22), "defects.txt:1: block 1");
  EXPECT_EQ(sheetkit({"verify", "--answers", a}).status, 1);

  const result help = sheetkit({"verify", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--answers FILE"), std::string::npos);
  // No command is needed to ask for the version.
  const result version = sheetkit({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("sheetkit ") + sheetgen::version + "\n");
}

TEST_F(Cli, AReportThatCannotBeWrittenFails) {
  std::ostream nowhere(nullptr);  // every write fails, as on a full disk
  std::ostringstream err;
  const char* args[] = {"sheetkit", "stats", "--answers", worked_example.c_str()};
  EXPECT_EQ(sheetkit_main(4, args, nowhere, err), 1);
  EXPECT_EQ(err.str(), "sheetkit: cannot write to standard output\n");
}

}  // namespace
}  // namespace sheetkit
