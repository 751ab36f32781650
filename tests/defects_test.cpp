#include "defects.h"

#include <gtest/gtest.h>

#include <string>

#include "random.h"
#include "test_util.h"

namespace sheetgen {
namespace {

using testing::answers;
using testing::line;
using testing::run_with;
using testing::scratch_folder;

TEST(Defects, WorkedExampleWritesBothFiles) {
  scratch_folder dir;
  answers a;
  a.defects = testing::worked::defect_sizes();
  EXPECT_EQ(run_with(a.text(), dir.path()).status, 0);
  EXPECT_EQ(dir.read("instances.txt"), testing::worked::instance_file_text());
  EXPECT_EQ(dir.read("defects.txt"), testing::worked::defect_file_text());
}

TEST(Defects, FullSizeDefectSitsAtTheOriginAndStillDraws) {
  run_parameters p;
  p.no_instances = 3;
  p.object = rectangle::of(40000, 50000);
  p.no_defects = 2;
  p.defects[0] = rectangle::of(40000, 50000);
  p.defects[1] = rectangle::of(1, 1);
  random_generator g(77);
  placed_defect placed[2];
  for (int instance = 0; instance < 3; ++instance) {
    place_defects(p, g, placed);
    EXPECT_EQ(placed[0], (placed_defect{0, 0, 40000, 50000}));
  }
  random_generator h(77);
  for (int i = 0; i < 12; ++i) h.uniform_random();
  EXPECT_EQ(g.state(), h.state());
}

TEST(Defects, NoInstancesGiveTwoEmptyFiles) {
  scratch_folder dir;
  answers a;
  a.instances = 0;
  a.defects = {{1, 1}};
  EXPECT_EQ(run_with(a.text(), dir.path()).status, 0);
  EXPECT_TRUE(dir.has("instances.txt"));
  EXPECT_TRUE(dir.has("defects.txt"));
  EXPECT_EQ(dir.read("instances.txt") + dir.read("defects.txt"), "");
}

TEST(Defects, PositionsFollowTheItemDraws) {
  answers a;
  a.instances = 3;
  a.length = a.width = 1000;
  a.items = 10;
  a.minrel = "0.01";
  a.maxrel = "0.5";
  a.defects = {{100, 200}, {5, 5}, {1000, 1}};
  a.seed = 4;
  auto defects_of = [](const answers& run) {
    scratch_folder dir;
    EXPECT_EQ(run_with(run.text(), dir.path()).status, 0);
    return std::make_pair(dir.read("instances.txt"), dir.read("defects.txt"));
  };
  const auto base = defects_of(a);

  answers more = a;
  more.items = 11;
  EXPECT_NE(defects_of(more).second, base.second);

  // Other bounds, but still no repair: the same number of draws.
  answers other = a;
  other.minrel = "0.02";
  other.maxrel = "0.4";
  const auto moved = defects_of(other);
  EXPECT_NE(moved.first, base.first);
  EXPECT_EQ(moved.second, base.second);
}

TEST(Defects, UnwritableDefectFileKeepsTheInstanceFile) {
  answers a;
  a.defects = {{3, 2}};
  scratch_folder reference;
  ASSERT_EQ(run_with(a.text(), reference.path()).status, 0);

  std::vector<std::string> names = {"missing/defects.txt"};
  if (std::filesystem::exists("/dev/full")) names.push_back("/dev/full");
  for (const std::string& name : names) {
    scratch_folder dir;
    a.defectfile = name;
    const auto result = run_with(a.text(), dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.console.find("(e.g. 12): Cannot write file " + name + "!"), std::string::npos);
    EXPECT_EQ(result.console.find("Program run finished"), std::string::npos);
    EXPECT_EQ(dir.read("instances.txt"), reference.read("instances.txt"));
  }
}

TEST(Defects, FailedItemsLeaveAnOldDefectFileAlone) {
  scratch_folder dir;
  dir.write("defects.txt", "old");
  answers a;
  a.minrel = a.maxrel = "0.3";  // no admissible integer area
  a.defects = {{1, 1}};
  EXPECT_EQ(run_with(a.text(), dir.path()).status, 1);
  EXPECT_EQ(dir.read("defects.txt"), "old");
}

}  // namespace
}  // namespace sheetgen
