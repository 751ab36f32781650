#include <gtest/gtest.h>
#include <sheetgen/parameters.h>

#include <filesystem>

#include "test_util.h"

namespace sheetgen {
namespace {

namespace fs = std::filesystem;

// Runs in `dir` as the current folder, as sheetgen runs in the user's.
class InFolder : public ::testing::Test {
 protected:
  void SetUp() override { fs::current_path(dir_.path()); }
  void TearDown() override { fs::current_path(home_); }
  testing::scratch_folder dir_;

 private:
  fs::path home_ = fs::current_path();
};

TEST_F(InFolder, NamesOfOneFileThatDoesNotExistYet) {
  // An empty folder: no name leads anywhere yet.
  for (const fs::path& folder : {fs::path(), fs::path("."), fs::path("sub/..")}) {
    if (folder == "sub/..") fs::create_directory("sub");
    for (const char* other : {"./x.txt", "sub/../x.txt", "nowhere/../x.txt", "x.txt"}) {
      EXPECT_TRUE(same_file(folder, "x.txt", other)) << folder << " " << other;
      EXPECT_TRUE(same_file(folder, other, "x.txt")) << folder << " " << other;
    }
    EXPECT_TRUE(same_file(folder, "x.txt", (dir_.path() / "x.txt").string())) << folder;
    EXPECT_FALSE(same_file(folder, "x.txt", "./y.txt")) << folder;
    EXPECT_FALSE(same_file(folder, "x.txt", "sub/x.txt")) << folder;
  }
}

TEST_F(InFolder, DialogueRefusesBeforeAnythingIsWritten) {
  const auto result = testing::run_with("1 10 10 4 0.1 0.2 1 1 1 x.txt ./x.txt 5 0", fs::path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.console.ends_with(
      "(e.g. defects.txt). The defect file must differ from the instance file!"))
      << result.console;
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

}  // namespace
}  // namespace sheetgen
