#include "solutions/solution_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "solver_certificates.h"

namespace sheetkit {
namespace {

using testing::read_text;
using testing::says;
using testing::with_line;

const testing::solver_instance glass;
const std::string rectangle_text =
    testing::file_text(testing::solver_data("export/instance_1/rectangle_solution.csv"));
const std::string guillotine_text =
    testing::file_text(testing::solver_data("export/instance_1/rectangleguillotine_solution.csv"));

solution_rules solver_settings() {
  solution_rules rules;
  rules.guillotine.number_of_stages = 3;
  rules.guillotine.first_stage_orientation = stage_orientation::vertical;
  return rules;
}

std::string joined(const solution_report& r) {
  std::string s;
  for (const std::string& l : r.lines()) s += l + "\n";
  return s;
}

TEST(SolutionCheck, TheSolverCertificatesAreFeasibleWithTheirFigures) {
  for (const std::string* text : {&rectangle_text, &guillotine_text}) {
    const solution_report r = check_solution(glass.view(), read_text(*text), solver_settings());
    EXPECT_TRUE(r.feasible()) << joined(r);
    // As the solver's own --output says: 25 items, item area 10114826.
    EXPECT_EQ(r.figures.items_placed, 25);
    EXPECT_EQ(r.figures.distinct_types, 25);
    EXPECT_EQ(r.figures.placed_area, 10114826);
    // The three defects do not overlap: 13500 + 12000 + 625 taken away.
    EXPECT_EQ(r.figures.usable_area, 6000 * 3210 - 26125);
    EXPECT_EQ(r.figures.area_bound, 10114826);  // every copy placed
    EXPECT_EQ(r.figures.gap(), 0.0);
    // With any number of copies, turned or not, the knapsack bound is
    // below the usable area, and the solver's placement never beats it.
    solution_rules loose = solver_settings();
    loose.copies = unlimited_copies;
    loose.rotation = true;
    const solution_report l = check_solution(glass.view(), read_text(*text), loose);
    EXPECT_LE(l.figures.placed_area, l.figures.area_bound);
    EXPECT_LE(l.figures.area_bound, l.figures.usable_area);
  }
}

TEST(SolutionCheck, EachPlantedFaultOfARectangleCertificateIsNamedWithItsLine) {
  struct planted {
    int line;
    std::string row;
    std::string expected;
  };
  const planted faults[] = {
      // Item type 1 moved 37 down, into item type 0 below it.
      {7, "ITEM,1,1,0,0,800,579,155,0",
       "solution.csv:6, 7: item type 0 at (0, 0), 449 x 837, overlaps item type 1 at (0, 800), 579 "
       "x 155"},
      {30, "ITEM,14,1,0,4900,1000,266,2131,0",
       "solution.csv:30: item type 14 at (4900, 1000), 266 x 2131, overlaps defect 3 (x 4969 to "
       "4994, y 1120 to 1145)"},
      {30, "ITEM,14,1,0,5800,0,266,2131,0", "is not inside the object (x 0 to 6000, y 0 to 3210)"},
      {30, "ITEM,14,1,0,3946,0,2131,266,0",
       "item type 14 is 266 x 2131, turned here, and rotation is not allowed"},
      {30, "ITEM,14,1,0,4000,0,266,2130,0", "item type 14 is 266 x 2131"},
      {30, "ITEM,14,2,0,4000,0,266,2131,0",
       "has COPIES 2: a row's COPIES is the number of identical bins it stands in"},
      {30, "ITEM,13,1,0,4000,0,499,391,0",
       "solution.csv:17: item type 13 is placed 2 times (first here)"},
      {30, "ITEM,25,1,0,4000,0,266,2131,0",
       "item type 25 is none of the instance's 25 item types (0 to 24)"},
      {30, "ITEM,14,1,1,4000,0,266,2131,0", "lies in bin 1: the object is one bin"},
      {4, "DEFECT,1,1,0,134,3000,400,30,",
       "solution.csv:4: the certificate's defect ID 1 at (134, 3000), 400 x 30 is not our defect 2 "
       "(x 134 to 534, y 3027 to 3057)"},
      {2, "BIN,0,1,0,0,0,6000,3200,", "bin type 0 is 6000 x 3200 here; the object is 6000 x 3210"},
      {2, "BIN,0,2,0,0,0,6000,3210,", "bin 0 (2 copies): the object is one bin"},
  };
  for (const planted& f : faults) {
    const std::string text = with_line(rectangle_text, f.line, f.row);
    const solution_report r = check_solution(glass.view(), read_text(text), solver_settings());
    EXPECT_TRUE(says(r, f.expected)) << f.row << "\n" << joined(r);
  }
  // Rotation allowed: the turned item is fine; unlimited copies: so is a second one.
  solution_rules free = solver_settings();
  free.rotation = true;
  free.copies = unlimited_copies;
  EXPECT_TRUE(
      check_solution(glass.view(),
                     read_text(with_line(rectangle_text, 17, "ITEM,13,1,0,4000,2000,391,499,0") +
                               "ITEM,13,1,0,4500,2000,499,391,0\n"),
                     free)
          .feasible());
}

TEST(SolutionCheck, OnlyTheFirstViolationsAreKeptAndAllAreCounted) {
  // 30 copies of one item at one place: 435 overlapping pairs, 29 extra copies.
  std::vector<placement> stacked(30, placement{.item_type = 0, .x = 10, .y = 10});
  solution_rules rules;
  rules.copies = unlimited_copies;
  const solution_report r = check_placements(glass.view(), stacked, rules, "run.csv");
  EXPECT_EQ(r.violation_count, 435);
  ASSERT_EQ(r.violations.size(), 20u);
  EXPECT_EQ(r.lines().back(), "... and 415 more violations");
  EXPECT_EQ(
      r.violations[0].text,
      "run.csv: item type 0 at (10, 10), 449 x 837, overlaps item type 0 at (10, 10), 449 x 837");
}

TEST(SolutionCheck, APollThatThrowsAbandonsTheCheckWhereverItIsCalled) {
  // 300 x 300 unit items on the glass plate (some on its defects): the
  // placement pass and the sweep each call the poll many times.
  std::vector<placement> grid;
  for (int64_t x = 0; x < 300; ++x)
    for (int64_t y = 0; y < 300; ++y)
      grid.push_back({.item_type = 0, .x = x * 20, .y = y * 10, .length = 1, .width = 1});
  const std::vector<rectangle> unit{rectangle::of(1, 1)};
  const solution_instance instance{glass.view().object, unit, glass.view().defects};
  solution_rules rules;
  rules.copies = unlimited_copies;
  const solution_report plain = check_placements(instance, grid, rules);
  int64_t calls = 0;
  rules.poll = [&] { ++calls; };
  const solution_report polled = check_placements(instance, grid, rules);
  EXPECT_EQ(polled.lines(), plain.lines());
  ASSERT_GT(calls, 2 * 90000 / 4096);
  for (int64_t stop = 1; stop <= calls; stop += std::max<int64_t>(1, calls / 7)) {
    int64_t left = stop;
    rules.poll = [&] {
      if (--left == 0) throw std::runtime_error("interrupted");
    };
    EXPECT_THROW(check_placements(instance, grid, rules), std::runtime_error) << stop;
  }
}

TEST(SolutionCheck, EachPlantedFaultOfAGuillotineTreeIsNamed) {
  struct planted {
    int line;
    std::string row;
    std::string expected;
  };
  const planted faults[] = {
      // The waste beside item type 7 five short: a gap.
      {7, "0,1,5,665,0,40,973,-1,3,2",
       "the pieces of node 2 end at x 705, short of its end at x 710"},
      {24, "0,1,22,2670,0,1950,322,-2,3,19",
       "node 22 starts at x 2670, overlapping node 20 (x 710 to 2678)"},
      // The waste under item type 14 cut once more: a fifth level with three stages.
      {1000, "0,1,89,987,2453,100,126,-1,5,30",
       "node 30 is cut at level 5; 3 stages (--number-of-stages 3) allow 3 levels"},
      {3, "0,1,1,0,0,710,3210,-2,2,0", "node 1 has CUT 2 where its parent, node 0, has CUT 0"},
  };
  for (const planted& f : faults) {
    std::string text = with_line(guillotine_text, f.line, f.row);
    if (f.line == 1000) {
      text = with_line(text, 32, "0,1,30,987,2453,266,126,-2,4,28") +
             "0,1,90,1087,2453,166,126,-1,5,30\n";
    }
    const solution_report r = check_solution(glass.view(), read_text(text), solver_settings());
    EXPECT_TRUE(says(r, f.expected)) << f.row << "\n" << joined(r);
  }
  // First stage horizontal: the root's vertical cuts are wrong.
  solution_rules horizontal = solver_settings();
  horizontal.guillotine.first_stage_orientation = stage_orientation::horizontal;
  EXPECT_TRUE(
      says(check_solution(glass.view(), read_text(guillotine_text), horizontal),
           "node 0 is cut by vertical cuts at level 1, where that level's cuts are horizontal"));
  // Exact cuts: no trimming level.
  solution_rules exact = solver_settings();
  exact.guillotine.non_exact = false;
  EXPECT_TRUE(says(check_solution(glass.view(), read_text(guillotine_text), exact),
                   "node 28 is cut at level 4"));
  // A defect of ours in the wastes on both sides of the first cut at x 710.
  testing::solver_instance moved = glass;
  moved.defects.push_back({700, 3150, 720, 3200});
  const solution_report crossed =
      check_solution(moved.view(), read_text(guillotine_text), solver_settings());
  EXPECT_TRUE(says(
      crossed,
      "the cut at x 710 between nodes 1 and 18 crosses defect 4 (x 700 to 720, y 3150 to 3200)"))
      << joined(crossed);
  EXPECT_TRUE(
      says(crossed, "our defect 4 (x 700 to 720, y 3150 to 3200) is missing from the certificate"));
  solution_rules may = solver_settings();
  may.guillotine.cut_through_defects = true;
  EXPECT_EQ(check_solution(moved.view(), read_text(guillotine_text), may).violation_count, 1);
  // Waste narrower than the least the saw leaves.
  solution_rules wide = solver_settings();
  wide.guillotine.minimum_waste_length = 50;
  EXPECT_TRUE(says(check_solution(glass.view(), read_text(guillotine_text), wide),
                   "waste node 5 is 45 across its cut, less than --minimum-waste-length 50"));
}

TEST(SolutionCheck, ACutCrossesExactlyTheDefectsThatReachAcrossItsLine) {
  // Random defects about the first cut, at x 710 across the whole plate:
  // those from x < 710 to x > 710 are crossed, in their order; touching
  // ones are not.
  std::mt19937_64 rng(5);
  std::uniform_int_distribution<int32_t> x(690, 730), y(0, 3200), side(1, 25);
  testing::solver_instance many = glass;
  std::vector<int> expected;
  for (int k = 0; k < 300; ++k) {
    const int32_t x1 = x(rng), y1 = y(rng), x2 = x1 + side(rng),
                  y2 = std::min(y1 + side(rng), 3210);
    if (x1 < 710 && 710 < x2) expected.push_back(static_cast<int>(many.defects.size()));
    many.defects.push_back({x1, y1, x2, y2});
  }
  solution_rules all = solver_settings();
  all.max_violations = 100000;
  const solution_report r = check_solution(many.view(), read_text(guillotine_text), all);
  std::vector<int> crossed;
  const std::string cut = "the cut at x 710 between nodes 1 and 18 crosses defect ";
  for (const violation& v : r.violations) {
    const std::size_t at = v.text.find(cut);
    if (at != std::string::npos) crossed.push_back(std::stoi(v.text.substr(at + cut.size())) - 1);
  }
  EXPECT_EQ(crossed, expected);
  EXPECT_GT(expected.size(), 50u);
}

}  // namespace
}  // namespace sheetkit
