#include "inspect/check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "files/source.h"
#include "split_lines.h"
#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::line;
using sheetgen::testing::message_of;

// The worked example's files, as README shows them.
const std::string items_1 = sheetgen::testing::worked::item_lines(0);
const std::string items_2 = sheetgen::testing::worked::item_lines(1);
const std::string instances = sheetgen::testing::worked::instance_file_text();
const std::string defects_1 = sheetgen::testing::worked::defect_lines(0);
const std::string defects = sheetgen::testing::worked::defect_file_text();

run_info worked_example() {
  return run_from_answers(SHEETGEN_SOURCE_DIR "/examples/worked_example.txt");
}

struct outcome {
  int64_t problems;
  std::string text;
};

outcome check(const run_info& run, const std::string& items, const std::string* defect_text) {
  std::istringstream item_in(items);
  std::istringstream defect_in(defect_text != nullptr ? *defect_text : "");
  std::ostringstream out;
  const int64_t problems =
      check_streams(run, item_in, defect_text != nullptr ? &defect_in : nullptr, out);
  return {problems, out.str()};
}

TEST(Check, WorkedExamplePasses) {
  const outcome o = check(worked_example(), instances, &defects);
  EXPECT_EQ(o.problems, 0);
  EXPECT_EQ(
      o.text,
      "instances.txt, defects.txt: 2 instances, 8 item types, 4 defects; no problems found\n");
  // Without answers, without defects.
  const run_info bare = run_from_object(rectangle::of(10, 10), "i", "");
  EXPECT_EQ(check(bare, instances, nullptr).text,
            "i: 2 instances, 8 item types; no problems found\n");
  EXPECT_EQ(check(bare, "", nullptr).text, "i: 0 instances, 0 item types; no problems found\n");
}

TEST(Check, EachProblemWithItsMessage) {
  struct broken {
    const char* what;
    std::string items;
    std::string defects;
    std::string expected;
  };
  const std::string items_2_short = line({3, 6, 18}) + line({7, 2, 14}) + line({2, 9, 18});
  const broken cases[] = {
      {"cut short in a line", items_1 + "\n" + line({3, 6, 18}) + "7.000000\t2.0", defects,
       "instances.txt:7: file ends in the middle of a line; the file is cut short after 1 "
       "complete block of the 2 asked for\n"},
      {"last empty line missing", items_1 + "\n" + items_2, defects,
       "instances.txt:10: file ends inside the block that starts on line 6: its empty line is "
       "missing; the file is cut short after 1 complete block of the 2 asked for\n"},
      {"defect file cut short", instances, defects_1 + "\n" + "1.000000\t0.0",
       "defects.txt:4: file ends in the middle of a line; the file is cut short after 1 complete "
       "block of the 2 asked for\n"},
      {"area not length x width",
       items_1 + "\n" + line({3, 6, 19}) + line({7, 2, 14}) + line({2, 9, 18}) + line({2, 5, 10}) +
           "\n",
       defects, "instances.txt:6: area 19 is not length x width = 3 x 6 = 18\n"},
      {"area out of bounds",
       items_1 + "\n" + line({3, 6, 18}) + line({7, 3, 21}) + line({2, 9, 18}) + line({2, 5, 10}) +
           "\n",
       defects, "instances.txt:7: area 21 is outside the admissible areas 10 to 20\n"},
      {"defect beyond the length", instances,
       defects_1 + "\n" + line({1, 0, 4, 2}) + line({1, 4, 11, 5}) + "\n",
       "defects.txt:5: defect 2 reaches x2 = 11, beyond the object's length 10\n"},
      {"defect beyond the width", instances,
       defects_1 + "\n" + line({1, 9, 4, 11}) + line({0, 4, 10, 5}) + "\n",
       "defects.txt:4: defect 1 reaches y2 = 11, beyond the object's width 10\n"},
      {"defect of the wrong size", instances,
       defects_1 + "\n" + line({1, 0, 4, 2}) + line({0, 4, 9, 5}) + "\n",
       "defects.txt:5: defect 2 measures 9 x 1, but the answers give 10 x 1\n"},
      {"block counts differ", instances, defects_1 + "\n",
       "defects.txt:4: file ends after 1 block, but instances.txt has more (block 2 starts on its "
       "line 6)\n"},
      {"too few items in a block", items_1 + "\n" + items_2_short + "\n", defects,
       "instances.txt:6: block 2 has 3 item types, but the answers ask for 4\n"},
      {"too few defects in a block", instances, defects_1 + "\n" + line({1, 0, 4, 2}) + "\n",
       "defects.txt:4: block 2 has 1 defect, but the answers ask for 2\n"},
      {"too few blocks in both", items_1 + "\n", defects_1 + "\n",
       "instances.txt:6: file ends after 1 block, but the answers ask for 2 instances: cut short?\n"
       "defects.txt:4: file ends after 1 block, but the answers ask for 2 instances: cut short?\n"},
      {"more blocks than asked for", instances + "\n", defects + "\n",
       "instances.txt:11: block 3 is beyond the run: the file has 3 blocks, but the answers ask "
       "for 2 instances\n"
       "defects.txt:7: block 3 is beyond the run: the file has 3 blocks, but the answers ask for "
       "2 instances\n"},
      {"a form error stops the check",
       line({3, 5, 99}) + line({2, 8, 16}) + line({7, 2, 14}) + line({8, 2, 16}) + "\n" + "x\n" +
           line({1, 1, 99}) + "\n",
       defects,
       "instances.txt:1: area 99 is not length x width = 3 x 5 = 15\n"
       "instances.txt:1: area 99 is outside the admissible areas 10 to 20\n"
       "instances.txt:6: not a number: \"x\"\n"},
  };
  const run_info run = worked_example();
  for (const broken& c : cases) {
    const outcome o = check(run, c.items, &c.defects);
    EXPECT_EQ(o.text, c.expected) << c.what;
    EXPECT_GT(o.problems, 0) << c.what;
  }
}

TEST(Check, WithoutAnswersOnlyWhatTheFilesTell) {
  // Bounds are unknown; areas and places are not, and every block of a run
  // has as many item types and defects as the first, of the same sizes.
  const run_info bare = run_from_object(rectangle::of(10, 10), "i", "d");
  const std::string items = line({1, 1, 1}) + "\n" + line({2, 2, 5}) + line({9, 9, 81}) + "\n";
  const std::string defect_text = line({0, 0, 10, 10}) + "\n" + line({5, 5, 5, 6}) + "\n";
  EXPECT_EQ(check(bare, items, &defect_text).text,
            "i:3: block 2 has 2 item types where block 1 has 1\n"
            "d:3: defect 1 is 0 x 1 where it is 10 x 10 in block 1\n"
            "i:3: area 5 is not length x width = 2 x 2 = 4\n"
            "d:3: defect 1 has no area: x1 5, y1 5, x2 5, y2 6\n");
}

TEST(Check, WithoutAnswersEveryBlockIsHeldToTheFirst) {
  const run_info bare = run_from_object(rectangle::of(10, 10), "i", "d");
  const std::string two = line({3, 5, 15}) + line({2, 8, 16}) + "\n";
  const std::string items = two + line({3, 5, 15}) + "\n" + two + two;
  const std::string defect_text =
      line({7, 0, 10, 2}) + line({0, 6, 10, 7}) + "\n" +                      // 3 x 2, 10 x 1
      line({1, 0, 4, 2}) + line({0, 4, 9, 5}) + "\n" +                        // the second 9 x 1
      line({1, 0, 4, 2}) + line({0, 4, 10, 5}) + line({0, 0, 1, 1}) + "\n" +  // one more
      line({1, 1, 4, 3}) + "\n";                                              // one fewer
  const outcome o = check(bare, items, &defect_text);
  EXPECT_EQ(o.text,
            "i:4: block 2 has 1 item type where block 1 has 2\n"
            "d:5: defect 2 is 9 x 1 where it is 10 x 1 in block 1\n"
            "d:7: block 3 has 3 defects where block 1 has 2\n"
            "d:11: block 4 has 1 defect where block 1 has 2\n");
  EXPECT_EQ(o.problems, 4);
  // With the answers, the answers are the measure, and block 1 is held to them.
  run_info answered = worked_example();
  answered.instance_file = "i";
  answered.defect_file = "d";
  answered.answers->no_instances = 4;
  answered.answers->no_items = 2;
  EXPECT_EQ(check(answered, items, &defect_text).text,
            "i:4: block 2 has 1 item type, but the answers ask for 2\n"
            "d:5: defect 2 measures 9 x 1, but the answers give 10 x 1\n"
            "d:7: block 3 has 3 defects, but the answers ask for 2\n"
            "d:11: block 4 has 1 defect, but the answers ask for 2\n");
}

TEST(Check, ItemTypesBeyondTheObjectAreNotedNotCounted) {
  const run_info bare = run_from_object(rectangle::of(10, 10), "i", "");
  const std::string items = line({11, 1, 11}) + line({1, 12, 12}) + line({3, 3, 9}) +
                            line({11, 11, 121}) + line({20, 1, 20}) + "\n";
  outcome o = check(bare, items, nullptr);
  EXPECT_EQ(o.problems, 0);
  EXPECT_EQ(o.text,
            "i: 1 instance, 5 item types; no problems found\n"
            "i:1: note: item type 11 x 1 is longer than the object (10 x 10)\n"
            "i:2: note: item type 1 x 12 is wider than the object (10 x 10)\n"
            "i:4: note: item type 11 x 11 is longer and wider than the object (10 x 10)\n"
            "note: 4 item types are longer or wider than the object, as sheetgen writes item "
            "types when no shape of their area fits it; this is not a problem\n");
  // After the problems, which they do not add to.
  o = check(bare, line({11, 1, 12}) + "\n", nullptr);
  EXPECT_EQ(o.problems, 1);
  EXPECT_EQ(o.text,
            "i:1: area 12 is not length x width = 11 x 1 = 11\n"
            "i:1: note: item type 11 x 1 is longer than the object (10 x 10)\n"
            "note: 1 item type is longer or wider than the object, as sheetgen writes item types "
            "when no shape of their area fits it; this is not a problem\n");
}

TEST(Check, ListsTwentyProblemsThenCountsTheRest) {
  std::string items;
  for (int i = 0; i < 25; ++i) items += line({1, 1, 2});
  const outcome o = check(run_from_object(rectangle::of(10, 10), "i", ""), items + "\n", nullptr);
  EXPECT_EQ(o.problems, 25);
  std::istringstream lines(o.text);
  std::string first, last;
  int count = 0;
  for (std::string l; std::getline(lines, l); ++count) (count == 0 ? first : last) = l;
  EXPECT_EQ(count, 21);
  EXPECT_EQ(first, "i:1: area 2 is not length x width = 1 x 1 = 1");
  EXPECT_EQ(last, "... and 5 more problems");
}

TEST(Check, MissingFiles) {
  sheetgen::testing::scratch_folder folder;
  folder.write("i.txt", instances);
  const std::string i = (folder / "i.txt").string();
  const std::string d = (folder / "d.txt").string();
  std::ostringstream out;
  std::string unreadable;
  const auto said = [&](const file_error& e) { unreadable += e.what(); };
  // The instances are still checked without their defects; the file that
  // cannot be read is no problem found in the files, but counts as one.
  EXPECT_EQ(check_files(run_from_object(rectangle::of(10, 10), i, d), out, said), 1);
  EXPECT_EQ(unreadable, d + ": cannot be read: No such file or directory");
  EXPECT_EQ(out.str().find("Cannot"), std::string::npos);
  out.str("");
  folder.write("i.txt", instances + line({1, 1, 2}));
  EXPECT_EQ(check_files(run_from_object(rectangle::of(10, 10), i, d), out, said), 2);
  EXPECT_EQ(out.str().substr(0, i.size()), i);
  // Without the instance file nothing can be checked.
  const run_info none = run_from_object(rectangle::of(10, 10), d, i);
  EXPECT_EQ(message_of([&] { check_files(none, out, said); }),
            d + ": cannot be read: No such file or directory");
}

// A file cut short while check reads it (mapped, by name): one problem
// that says so, not the zeros read where the cut took the file's pages.
TEST(Check, FileCutShortWhileItIsRead) {
#ifdef _WIN32
  GTEST_SKIP() << "no mapping on Windows";
#endif
  sheetgen::testing::read_by_mapping();
  sheetgen::testing::scratch_folder folder;
  std::string text;
  for (int block = 0; block < 30; ++block) {
    for (int i = 0; i < 1000; ++i) text += line({1, 1, 1});
    text += "\n";
  }
  folder.write("i.txt", text);
  const std::string i = (folder / "i.txt").string();
  std::ostringstream out;
  const auto cut = [&](const sheetgen::pass_progress& p) {
    if (p.done == 1) std::filesystem::resize_file(i, text.size() / 2);
  };
  EXPECT_EQ(check_files(run_from_object(rectangle::of(10, 10), i, ""), out, {}, cut), 1);
  EXPECT_EQ(out.str(), i + " changed while it was being read\n");
}

// A run's files parsed on several threads (in small pieces here) give the
// same report as on one, whatever is wrong with them and wherever.
TEST(Check, SplitReadingReportsWhatOneThreadReports) {
  sheetgen::testing::scratch_folder folder;
  sheetgen::testing::answers a;
  a.instances = 12;
  a.length = 1000;
  a.width = 800;
  a.items = 80;
  a.minrel = "0.001";
  a.maxrel = "0.05";
  a.defects = {{20, 20}, {30, 10}};
  a.instancefile = "i.txt";
  a.defectfile = "d.txt";
  const sheetgen::testing::run_result made = sheetgen::testing::run_with(a.text(), folder.path());
  ASSERT_EQ(made.status, 0) << made.console;
  const std::string items = folder.read("i.txt");
  const std::string defect_text = folder.read("d.txt");
  const run_info run = run_from_object(rectangle::of(a.length, a.width),
                                       (folder / "i.txt").string(), (folder / "d.txt").string());
#ifndef _WIN32
  unsetenv("SHEETGEN_READ");  // another test's mapping would leave the split out
#endif
  const auto report = [&](bool split) {
    const sheetgen::split_sizes before = sheetgen::split_reading();
    if (split) sheetgen::set_split_reading({512, 0, 2});
    std::ostringstream out;
    const int64_t problems = check_files(run, out, {});
    sheetgen::set_split_reading(before);
    return std::to_string(problems) + "\n" + out.str();
  };
  std::mt19937 rng(3);
  for (int round = 0; round < 60; ++round) {
    std::string i = items;
    std::string d = defect_text;
    std::string& hit = round % 3 == 2 ? d : i;
    const std::size_t at = rng() % hit.size();
    switch (round % 4) {
      case 0:
        hit.resize(at);
        break;
      case 1:
        hit[at] = "7\n\t.x"[rng() % 5];
        break;
      case 2:
        hit.insert(at, "\n");
        break;
      default:
        hit.erase(at, rng() % 40);
        break;
    }
    folder.write("i.txt", i);
    folder.write("d.txt", d);
    EXPECT_EQ(report(true), report(false)) << "round " << round;
  }
}

}  // namespace
}  // namespace sheetkit
