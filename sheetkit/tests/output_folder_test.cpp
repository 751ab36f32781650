#include "files/output_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using sheetgen::testing::scratch_folder;

std::size_t entries(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

TEST(OutputFolder, AppearsOnlyWhenComplete) {
  scratch_folder scratch;
  const fs::path final_name = scratch / "new" / "pictures";
  {
    output_folder out((final_name.string() + "/"), false);
    const fs::path fresh = out.begin();
    std::ofstream(fresh / "a.svg") << "a";
    EXPECT_FALSE(fs::exists(final_name));
    EXPECT_EQ(fresh.parent_path(), scratch / "new");  // beside it: the rename stays on one disk
    out.commit();
  }
  EXPECT_EQ(scratch.read("new/pictures/a.svg"), "a");
  EXPECT_EQ(entries(scratch / "new"), 1u);
}

TEST(OutputFolder, ReplacesWholeKeepingPermissions) {
  scratch_folder scratch;
  {
    output_folder first((scratch / "out").string(), false, {}, {"instance_#/items.csv"});
    fs::create_directories(first.begin() / "instance_12");
    std::ofstream(first.begin() / "instance_12" / "items.csv") << "old";
    first.commit();
  }
  fs::permissions(scratch / "out",
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  output_folder out((scratch / "out").string(), true);
  std::ofstream(out.begin() / "run.json") << "{}";
  out.commit();
  EXPECT_EQ(scratch.read("out/run.json"), "{}");
  EXPECT_EQ(entries(scratch / "out"), 2u);  // and its .sheetkit
  EXPECT_EQ(fs::status(scratch / "out").permissions(),
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(entries(scratch.path()), 1u);  // the earlier folder is gone, not set aside

  // What came to the name between the check and the commit is not replaced.
  output_folder late((scratch / "late").string(), false);
  const fs::path fresh = late.begin();
  fs::create_directories(scratch / "late" / "theirs");
  EXPECT_THROW(late.commit(), sheetgen::error);
  EXPECT_TRUE(fs::is_directory(scratch / "late" / "theirs"));
}

// --force takes only what the folder's .sheetkit file names: "#" is a
// number, a folder is one that a name lies in.
TEST(OutputFolder, ForceTakesOnlyTheNamesListed) {
  scratch_folder scratch;
  const auto refused = [&](const std::string& file) -> std::string {
    fs::remove_all(scratch / "out");
    {
      output_folder made((scratch / "out").string(), false, {},
                         {"instance_#.svg", "instance_#/items.csv", "items.svg"});
      made.begin();
      made.commit();
    }
    fs::create_directories((scratch / "out" / file).parent_path());
    std::ofstream(scratch / "out" / file) << "x";
    try {
      output_folder again((scratch / "out").string(), true);
    } catch (const folder_refused& e) {
      return e.what();
    }
    return "";
  };
  for (const char* ours :
       {"instance_1.svg", "instance_20.svg", "items.svg", "instance_3/items.csv"}) {
    EXPECT_EQ(refused(ours), "") << ours;
  }
  // Named by the file, or the folder that no name lies in.
  for (const auto& [theirs, named] : std::vector<std::pair<std::string, std::string>>{
           {"instance_.svg", "instance_.svg"},
           {"instance_1x.svg", "instance_1x.svg"},
           {"Items.svg", "Items.svg"},
           {"instance_3/bins.csv", "instance_3/bins.csv"},
           {"instance_3.svg/items.csv", "instance_3.svg"},
           {"notes/items.svg", "notes"}}) {
    EXPECT_NE(refused(theirs).find((scratch / "out" / named).string() + " is not one of them"),
              std::string::npos)
        << theirs;
  }
  // Without a .sheetkit file, nothing is sheetkit's.
  fs::remove(scratch / "out" / folder_marker);
  EXPECT_THROW(output_folder((scratch / "out").string(), true), folder_refused);
}

}  // namespace
}  // namespace sheetkit
