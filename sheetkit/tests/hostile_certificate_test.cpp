// Certificates written to fool the referee: copies stacked on one spot,
// plates that are two objects, trees whose first cut hides behind an
// uncut level, and bins and defects that are not the object's. Each must
// be refused with its line, in both certificate forms where it applies.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetkit {
namespace {

// A 10 x 10 object, item types 4 x 3, 3 x 10 and 5 x 5, one defect in its
// corner.
const std::vector<rectangle> types = {rectangle::of(4, 3), rectangle::of(3, 10),
                                      rectangle::of(5, 5)};
const std::vector<placed_defect> corner = {{8, 8, 10, 10}};
const solution_instance small{rectangle::of(10, 10), types, corner};

solution read(const std::string& text, const std::string& name = "c.csv") {
  std::istringstream in(text);
  solution_reader reader(in, name);
  solution s;
  reader.next(s);
  return s;
}

std::string all_lines(const solution_report& r) {
  std::string s;
  for (const std::string& l : r.lines()) s += l + "\n";
  return s;
}

const std::string rectangle_head =
    std::string(rectangle_header) + "\nBIN,0,1,0,0,0,10,10,\nDEFECT,0,1,0,8,8,2,2,\n";
// Root, a vertical cut at x 4 into a branch and a waste, the branch cut
// across at y 3 into item type 0 and a waste.
const std::string guillotine_tree = std::string(guillotine_header) +
                                    "\n0,1,0,0,0,10,10,0,0,\n"
                                    "0,1,1,0,0,4,10,-2,1,0\n"
                                    "0,1,2,4,0,6,10,-1,1,0\n"
                                    "0,1,3,0,0,4,3,0,2,1\n"
                                    "0,1,4,0,3,4,7,-1,2,1\n"
                                    "0,1,-1,8,8,2,2,-4,-1,\n";

solution_rules unlimited() {
  solution_rules r;
  r.copies = unlimited_copies;
  r.guillotine.first_stage_orientation = stage_orientation::any;
  r.max_violations = 100;
  return r;
}

TEST(HostileCertificate, TheUntouchedCertificatesAreFeasible) {
  const solution_report a =
      check_solution(small, read(rectangle_head + "ITEM,0,1,0,0,0,4,3,0\n"), unlimited());
  EXPECT_TRUE(a.feasible()) << all_lines(a);
  const solution_report b = check_solution(small, read(guillotine_tree), unlimited());
  EXPECT_TRUE(b.feasible()) << all_lines(b);
  EXPECT_EQ(b.figures.items_placed, 1);
}

TEST(HostileCertificate, CopiesStackedOnOneSpotAreRefused) {
  // A million copies of one row in a bin of one copy.
  const solution_report r =
      check_solution(small, read(rectangle_head + "ITEM,0,1000000,0,0,0,4,3,0\n"), unlimited());
  EXPECT_FALSE(r.feasible());
  EXPECT_EQ(r.violations.at(0).text,
            "c.csv:4: item type 0 at (0, 0), 4 x 3 has COPIES 1000000: a row's COPIES is the "
            "number of identical bins it stands in, and the object is one bin (COPIES 1)");
  EXPECT_EQ(r.figures.items_placed, 1);  // what lies on the object
  EXPECT_LE(r.figures.utilisation(), 1.0);

  // An item node of COPIES 2 under a plate of COPIES 1.
  std::string item_twice = guillotine_tree;
  item_twice.replace(item_twice.find("0,1,3,"), 6, "0,2,3,");
  const solution_report g = check_solution(small, read(item_twice), unlimited());
  EXPECT_EQ(all_lines(g),
            "c.csv:5: node 3 (item type 0) has COPIES 2 where its plate, plate 0, has COPIES 1\n");
  EXPECT_EQ(g.figures.items_placed, 1);

  // A plate of two copies, every node with it: two objects.
  std::string two_plates = guillotine_tree;
  for (std::size_t at = two_plates.find("\n0,1,"); at != std::string::npos;
       at = two_plates.find("\n0,1,", at))
    two_plates.replace(at, 5, "\n0,2,");
  const solution_report p = check_solution(small, read(two_plates), unlimited());
  EXPECT_EQ(all_lines(p), "c.csv:2: plate 0 has COPIES 2: the object is one plate (COPIES 1)\n");
}

TEST(HostileCertificate, BinsAndDefectsBeyondTheObjectAreRefusedWithTheirLines) {
  const solution_report twice = check_solution(
      small, read(rectangle_head + "BIN,0,1,0,0,0,10,10,\nITEM,0,1,0,0,0,4,3,0\n"), unlimited());
  EXPECT_EQ(all_lines(twice),
            "c.csv:4: a second BIN row (the first is line 2): the object is one bin, bin 0\n");
  std::string far_defect = rectangle_head + "ITEM,0,1,0,0,0,4,3,0\n";
  far_defect.replace(far_defect.find("DEFECT,0,1,0,"), 13, "DEFECT,0,1,7,");
  const solution_report d = check_solution(small, read(far_defect), unlimited());
  EXPECT_EQ(all_lines(d),
            "c.csv:3: the certificate's defect ID 0 at (8, 8), 2 x 2 lies in bin 7: the object "
            "is one bin, bin 0\n");
  std::string root7 = guillotine_tree;
  root7.replace(root7.find(",10,10,0,0,"), 11, ",10,10,7,0,");
  const solution_report g = check_solution(small, read(root7), unlimited());
  EXPECT_EQ(all_lines(g),
            "c.csv:2: the root, node 0, is of bin type 7; the object is bin type 0\n");
  std::string plate_defect = guillotine_tree;
  plate_defect.replace(plate_defect.find("0,1,-1,"), 7, "3,1,-1,");
  EXPECT_NE(all_lines(check_solution(small, read(plate_defect), unlimited()))
                .find("c.csv:7: the certificate's defect at (8, 8), 2 x 2 lies in plate 3"),
            std::string::npos);
}

// The root passed on whole to level 1, then cut vertically at levels 2
// and 3: wrong under either first orientation.
const std::string hidden_first_cut = std::string(guillotine_header) +
                                     "\n0,1,0,0,0,10,10,0,0,\n"
                                     "0,1,1,0,0,10,10,-2,1,0\n"
                                     "0,1,2,0,0,4,10,-2,2,1\n"
                                     "0,1,3,4,0,6,10,-1,2,1\n"
                                     "0,1,4,0,0,3,10,1,3,2\n"
                                     "0,1,5,3,0,1,10,-1,3,2\n"
                                     "0,1,-1,8,8,2,2,-4,-1,\n";

TEST(HostileCertificate, AnyOrientationIsOneOfTheTwoEvenBehindAnUncutLevel) {
  solution_rules rules = unlimited();
  for (const stage_orientation o : {stage_orientation::vertical, stage_orientation::horizontal}) {
    rules.guillotine.first_stage_orientation = o;
    EXPECT_FALSE(check_solution(small, read(hidden_first_cut), rules).feasible());
  }
  rules.guillotine.first_stage_orientation = stage_orientation::any;
  const solution_report r = check_solution(small, read(hidden_first_cut), rules);
  EXPECT_EQ(all_lines(r),
            "c.csv:4: node 2 is cut by vertical cuts at level 3, where that level's cuts are "
            "horizontal (the first level's horizontal, as node 1's cuts at level 2 make it)\n");
  // Node 2 cut across instead (a 4 x 3 item and a waste): sound under
  // horizontal, and so under any.
  std::string across = hidden_first_cut;
  across.replace(across.find("0,1,4,0,0,3,10,1,3,2"), 20, "0,1,4,0,0,4,3,0,3,2");
  across.replace(across.find("0,1,5,3,0,1,10,-1,3,2"), 21, "0,1,5,0,3,4,7,-1,3,2");
  const solution_report fine = check_solution(small, read(across), rules);
  EXPECT_TRUE(fine.feasible()) << all_lines(fine);
}

TEST(HostileCertificate, AnUncutLevelIsStillALevel) {
  // The whole plate passed on through five levels, under three stages.
  std::string chain = std::string(guillotine_header) + "\n0,1,0,0,0,10,10,0,0,\n";
  for (int k = 1; k <= 5; ++k) {
    chain += "0,1," + std::to_string(k) + ",0,0,10,10," + (k == 5 ? "-1," : "-2,") +
             std::to_string(k) + "," + std::to_string(k - 1) + "\n";
  }
  chain += "0,1,-1,8,8,2,2,-4,-1,\n";
  const solution_report r = check_solution(small, read(chain), unlimited());
  EXPECT_NE(all_lines(r).find("node 3 is cut at level 4; 3 stages (--number-of-stages 3) allow 3 "
                              "levels"),
            std::string::npos)
      << all_lines(r);
  solution_rules five = unlimited();
  five.guillotine.number_of_stages = 5;
  EXPECT_TRUE(check_solution(small, read(chain), five).feasible());
}

TEST(HostileCertificate, ATurnIsJudgedByTheSidesNotTheFlag) {
  solution_rules fixed;  // one copy each, no rotation
  // A square said to be turned is the same square.
  std::vector<placement> square = {{.item_type = 2, .x = 0, .y = 0, .rotated = true}};
  const solution_report a = check_placements(small, square, fixed);
  EXPECT_TRUE(a.feasible()) << all_lines(a);
  // Said to be turned, with the sides unturned: the flag lies.
  std::vector<placement> lying = {
      {.item_type = 0, .x = 0, .y = 0, .length = 4, .width = 3, .rotated = true, .line = 1}};
  fixed.rotation = true;
  EXPECT_EQ(all_lines(check_placements(small, lying, fixed)),
            "placements:1: item type 0 at (0, 0), 4 x 3: rotated 1, but these are item type 0's "
            "sides unturned, 4 x 3\n");
}

TEST(HostileCertificate, ACutPastAnyDepthIsRefusedWhereItIsRead) {
  std::string deep = guillotine_tree;
  deep.replace(deep.find("0,1,3,0,0,4,3,0,2,1"), 19, "0,1,3,0,0,4,3,0,9223372036854775807,1");
  try {
    read(deep);
    FAIL() << "read";
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(std::string(e.what()),
              "c.csv:5: CUT 9223372036854775807 is past 1000000000 levels; no tree is that deep");
  }
}

}  // namespace
}  // namespace sheetkit
