#include "inspect/verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A run made by sheetgen itself in a scratch folder, which is the current
// folder while the test runs: verify takes the names as sheetgen does.
class Verify : public ::testing::Test {
 protected:
  void make(const std::string& answers_file) {
    std::ifstream in(answers_file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    sheetgen::testing::run_with(text.str(), folder_.path());
    answers_ = run_from_answers(answers_file).answers.value();
    fs::current_path(folder_.path());
  }
  void TearDown() override { fs::current_path(home_); }

  std::pair<bool, std::string> verify() {
    std::ostringstream out;
    const bool same = verify_run(answers_, out);
    return {same, out.str()};
  }

  sheetgen::run_parameters answers_;

 private:
  fs::path home_ = fs::current_path();
  sheetgen::testing::scratch_folder folder_;
};

TEST_F(Verify, WorkedExampleIsIdenticalAndEveryChangeIsFound) {
  make(SHEETGEN_SOURCE_DIR "/examples/worked_example.txt");
  EXPECT_EQ(verify(), std::make_pair(
                          true, std::string("instances.txt: identical\ndefects.txt: identical\n")));

  const std::string instances = read_file("instances.txt");
  const std::string defects = read_file("defects.txt");
  const auto with = [](const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
  };
  struct change {
    const char* what;
    std::string instances;
    std::string defects;
    std::string expected;
  };
  std::string one_byte = instances;
  one_byte[instances.find("16.000000")] = '7';  // line 2's area
  std::string defect_byte = defects;
  defect_byte[defects.size() - 3] = '1';  // the last defect's y2 decimals
  const change changes[] = {
      {"one byte in the instance file", one_byte, defects,
       "instances.txt:2: differs\n"
       "  expected: 2.000000\\t8.000000\\t16.000000\n"
       "  found:    2.000000\\t8.000000\\t76.000000\n"
       "defects.txt: identical\n"},
      {"one byte in the defect file", instances, defect_byte,
       "instances.txt: identical\n"
       "defects.txt:5: differs\n"
       "  expected: 0.000000\\t4.000000\\t10.000000\\t5.000000\n"
       "  found:    0.000000\\t4.000000\\t10.000000\\t5.000001\n"},
      {"last block missing", instances.substr(0, instances.find("\n\n") + 2), defects,
       "instances.txt:6: file ends early at line 6\n"
       "  expected: 3.000000\\t6.000000\\t18.000000\n"
       "  found:    (end of file)\n"
       "defects.txt: identical\n"},
      {"cut in a line", instances, defects.substr(0, defects.size() - 20),
       "instances.txt: identical\n"
       "defects.txt:5: file ends early at line 5\n"
       "  expected: 0.000000\\t4.000000\\t10.000000\\t5.000000\n"
       "  found:    0.000000\\t4.000000\\t\n"},
      {"more after the end", instances + "\n", defects,
       "instances.txt:11: file has more after line 10\n"
       "  expected: (end of file)\n"
       "  found:    \n"
       "defects.txt: identical\n"},
      {"Windows line ends", instances, "7.000000\t0.000000\t10.000000\t2.000000\r\n",
       "instances.txt: identical\n"
       "defects.txt:1: differs\n"
       "  expected: 7.000000\\t0.000000\\t10.000000\\t2.000000\n"
       "  found:    7.000000\\t0.000000\\t10.000000\\t2.000000\\r\n"},
  };
  for (const change& c : changes) {
    with("instances.txt", c.instances);
    with("defects.txt", c.defects);
    EXPECT_EQ(verify(), std::make_pair(false, c.expected)) << c.what;
  }
  with("defects.txt", defects);
  fs::remove("instances.txt");
  EXPECT_EQ(verify().second,
            "instances.txt: cannot be read: No such file or directory\ndefects.txt: identical\n");
  // A read the OS fails: Linux gives EIO for the start of /proc/self/mem.
  if (fs::exists("/proc/self/mem")) {
    answers_.filename = "/proc/self/mem";
    EXPECT_EQ(verify(), std::make_pair(false, std::string("/proc/self/mem: cannot be read: "
                                                          "Input/output error\n"
                                                          "defects.txt: identical\n")));
  }
}

// Blocks of several pieces, compared on two threads: whatever the change,
// where it is reported is the first line that differs.
TEST_F(Verify, LargeBlocksEveryChangeAtItsLine) {
  sheetgen::testing::scratch_folder answers_folder;
  answers_folder.write("run.answers",
                       sheetgen::testing::make(9, 2000, 2000, 2600, "0.01", "0.2", 5).text());
  make((answers_folder / "run.answers").string());
  const std::string original = read_file("instances.txt");
  const auto line_of = [&](std::size_t at) {
    return std::count(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(at), '\n') +
           1;
  };
  std::mt19937 random(3);
  std::vector<std::size_t> places = {0, original.size() - 1};
  for (int i = 0; i < 40; ++i) places.push_back(random() % original.size());
  // About where the pieces of 1024 lines of the fourth block meet.
  const std::size_t block_four = original.find("\n\n", original.size() / 3) + 2;
  for (int line = 1020; line < 1030; ++line) {
    std::size_t at = block_four;
    for (int k = 0; k < line; ++k) at = original.find('\n', at) + 1;
    places.push_back(at);
  }
  for (const std::size_t at : places) {
    std::string changed = original;
    changed[at] = changed[at] == '1' ? '2' : '1';
    std::ofstream("instances.txt", std::ios::binary) << changed;
    const auto [same, text] = verify();
    EXPECT_FALSE(same);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "instances.txt:" + std::to_string(line_of(at)) + ": differs")
        << at;
    std::ofstream("instances.txt", std::ios::binary) << original.substr(0, at);
    const std::string cut = verify().second;
    EXPECT_EQ(cut.substr(0, cut.find('\n')), "instances.txt:" + std::to_string(line_of(at)) +
                                                 ": file ends early at line " +
                                                 std::to_string(line_of(at)))
        << at;
  }
  std::ofstream("instances.txt", std::ios::binary) << original;
  EXPECT_EQ(verify(), std::make_pair(true, std::string("instances.txt: identical\n")));

  // Blocks without items: the empty lines alone.
  answers_folder.write("run.answers",
                       sheetgen::testing::make(3, 2000, 2000, 0, "0.01", "0.2", 5).text());
  make((answers_folder / "run.answers").string());
  EXPECT_EQ(verify(), std::make_pair(true, std::string("instances.txt: identical\n")));
  std::ofstream("instances.txt", std::ios::binary) << "\n\n";
  EXPECT_EQ(verify().second.substr(0, 43), "instances.txt:3: file ends early at line 3\n");
}

TEST_F(Verify, RepairAbortLeavesTheFinishedBlocksAndNoDefectFile) {
  make(SHEETGEN_SOURCE_DIR "/tests/data/repair_abort.answers");
  const std::string expected_start =
      "The run stops at instance 3 of 50, with sheetgen's message: Determination of integer "
      "length or width of the small items failed. Please check the chosen bounds for the "
      "relative size as well as the size of the large object!\n"
      "instances.txt: identical (the 2 instances before the failure)\n";
  EXPECT_EQ(verify(),
            std::make_pair(
                true, expected_start +
                          "defects.txt: not written, as sheetgen writes none after the failure\n"));

  std::ofstream("defects.txt") << "\n";
  EXPECT_EQ(
      verify(),
      std::make_pair(false, expected_start + "defects.txt: exists, but the run writes no defect "
                                             "file after the failure (left from another run?)\n"));
  fs::remove("defects.txt");
  std::ofstream("instances.txt", std::ios::app) << "\n";
  EXPECT_FALSE(verify().first);
}

}  // namespace
}  // namespace sheetkit
