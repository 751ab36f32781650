#include "files/output_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
  fs::create_directories(scratch / "out" / "instance_1");
  std::ofstream(scratch / "out" / "instance_1" / "items.csv") << "old";
  fs::permissions(scratch / "out",
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  output_folder out((scratch / "out").string(), true);
  std::ofstream(out.begin() / "run.json") << "{}";
  out.commit();
  EXPECT_EQ(scratch.read("out/run.json"), "{}");
  EXPECT_EQ(entries(scratch / "out"), 1u);
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

}  // namespace
}  // namespace sheetkit
