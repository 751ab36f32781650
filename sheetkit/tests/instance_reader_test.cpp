#include "files/instance_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "files/source.h"
#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::line;
using sheetgen::testing::message_of;

// The two files read in step: blocks, their lines, and files that disagree.
TEST(InstanceReader, ReadsBothFilesInStep) {
  const std::string items =
      line({3, 5, 15}) + "\n" + "\n" + line({2, 8, 16}) + line({7, 2, 14}) + "\n";
  const std::string defects = line({7, 0, 10, 2}) + "\n" + line({1, 0, 4, 2}) + "\n" + "\n";
  std::istringstream item_in(items);
  std::istringstream defect_in(defects);
  instance_reader reader(item_in, "i", &defect_in, "d");
  instance in;
  std::vector<std::pair<int64_t, int64_t>> lines;
  std::vector<std::size_t> sizes;
  while (reader.next(in)) {
    lines.emplace_back(in.item_line, in.defect_line);
    sizes.push_back(in.items.size() * 10 + in.defects.size());
    EXPECT_EQ(in.number, reader.instances());
  }
  EXPECT_EQ(lines, (std::vector<std::pair<int64_t, int64_t>>{{1, 1}, {3, 3}, {4, 5}}));
  EXPECT_EQ(sizes, (std::vector<std::size_t>{11, 1, 20}));

  const auto mismatch = [](const std::string& a, const std::string& b) {
    std::istringstream item_in(a);
    std::istringstream defect_in(b);
    instance_reader reader(item_in, "i", &defect_in, "d");
    instance in;
    return message_of([&] {
      while (reader.next(in)) {
      }
    });
  };
  EXPECT_EQ(mismatch(items, line({7, 0, 10, 2}) + "\n"),
            "d:3: file ends after 1 block, but i has more (block 2 starts on its line 3)");
  EXPECT_EQ(mismatch("\n", defects),
            "i:2: file ends after 1 block, but d has more (block 2 starts on its line 3)");
  EXPECT_EQ(mismatch("", "\n"),
            "i:1: file ends after 0 blocks, but d has more (block 1 starts on its line 1)");
  // The readers' own errors come through unchanged.
  EXPECT_EQ(mismatch("\n", "1.000000\n"),
            "d:1: expected 4 numbers separated by tabs, found 1: \"1.000000\"");
}

TEST(InstanceReader, FilePassReadsAgainEachTime) {
  sheetgen::testing::scratch_folder folder;
  folder.write("i.txt", line({3, 5, 15}) + "\n" + line({2, 8, 16}) + "\n");
  const run_info run = run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(), "");
  const instance_pass pass = file_pass(run);
  for (int round = 0; round < 2; ++round) {
    std::vector<int32_t> areas;
    pass([&](const instance& in) {
      EXPECT_TRUE(in.defects.empty());
      for (const rectangle& r : in.items) areas.push_back(r.area);
    });
    EXPECT_EQ(areas, (std::vector<int32_t>{15, 16}));
  }
  const run_info missing =
      run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(), "nowhere.txt");
  EXPECT_EQ(message_of([&] { file_pass(missing)([](const instance&) {}); }),
            "nowhere.txt: cannot be read: No such file or directory");
}

}  // namespace
}  // namespace sheetkit
