#include "files/source.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace sheetkit {
namespace {

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
  EXPECT_EQ(message_of([&] { run_from_answers(missing); }),
            missing + ": cannot be read: No such file or directory");
  EXPECT_EQ(message_of([&] { run_from_answers(folder.path().string()); }),
            folder.path().string() + ": cannot be read: Is a directory");
}

}  // namespace
}  // namespace sheetkit
