#include "source.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::line;
using sheetgen::testing::message_of;

const std::string worked_example = SHEETGEN_SOURCE_DIR "/examples/worked_example.txt";

TEST(Source, ObjectSizes) {
  EXPECT_EQ(parse_object("10x10"), rectangle::of(10, 10));
  EXPECT_EQ(parse_object("46341x46340"), rectangle::of(46341, 46340));
  // Only what README documents: positive integers, a lower-case x.
  for (const char* bad : {"10", "x10", "10x", "0x5", "-1x5", "10x10x", "10 x 10", "ax3", "+3x3",
                          "10X10", "0010x10", "10x010", "1x-0"}) {
    EXPECT_EQ(message_of([&] { parse_object(bad); }),
              "expected LENGTHxWIDTH, two positive integers such as 20000x20000, not \"" +
                  std::string(bad) + "\"")
        << bad;
  }
  EXPECT_EQ(message_of([] { parse_object("46341x46341"); }),
            "the object 46341x46341 is too large: length x width must not exceed 2147483647");
  // Sides far beyond 32 bits are not multiplied: their product overflows 64 bits.
  for (const char* huge : {"9999999999x9999999999", "999999999999999999x999999999999999999"}) {
    EXPECT_EQ(message_of([&] { parse_object(huge); }),
              "the object " + std::string(huge) +
                  " is too large: length x width must not exceed 2147483647");
  }
  EXPECT_EQ(message_of([] { parse_object("9999999999999999999x1"); }).substr(0, 8), "expected");
}

TEST(Source, AnswersFile) {
  const run_info run = run_from_answers(worked_example);
  EXPECT_EQ(run.object, rectangle::of(10, 10));
  EXPECT_EQ(run.instance_file, "instances.txt");
  EXPECT_EQ(run.defect_file, "defects.txt");
  ASSERT_TRUE(run.answers);
  EXPECT_EQ(run.answers->minarea, 10);
  EXPECT_EQ(run.answers->maxarea, 20);
  EXPECT_EQ(run.answers->defects[1], rectangle::of(10, 1));

  sheetgen::testing::scratch_folder folder;
  // A bad answer with its line and question; a message's own line break goes.
  folder.write("bad.answers", "2\n10\nten\n");
  const std::string bad = (folder / "bad.answers").string();
  EXPECT_EQ(message_of([&] { run_from_answers(bad); }),
            bad + ":3: the object's width: Input is not a valid number!");
  folder.write("bad.answers", "2 10 10 20001\n");
  EXPECT_EQ(message_of([&] { run_from_answers(bad); }),
            bad + ":1: the number of item types: Please recompile code with larger MAXMOD value!");
  const std::string missing = (folder / "missing.answers").string();
  EXPECT_EQ(message_of([&] { run_from_answers(missing); }), "Cannot read file " + missing + "!");
  EXPECT_EQ(message_of([&] { run_from_answers(folder.path().string()); }),
            "Cannot read file " + folder.path().string() + "!");
}

// The two files read in step: blocks, their lines, and files that disagree.
TEST(Source, ReadsBothFilesInStep) {
  const std::string items =
      line({3, 5, 15}) + "\n" + "\n" + line({2, 8, 16}) + line({7, 2, 14}) + "\n";
  const std::string defects = line({7, 0, 10, 2}) + "\n" + line({1, 0, 4, 2}) + "\n" + "\n";
  std::istringstream item_in(items);
  std::istringstream defect_in(defects);
  run_reader reader(item_in, "i", &defect_in, "d");
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
    run_reader reader(item_in, "i", &defect_in, "d");
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

TEST(Source, FilePassReadsAgainEachTime) {
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
            "Cannot read file nowhere.txt!");
}

}  // namespace
}  // namespace sheetkit
