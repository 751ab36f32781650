#include "solutions/solution_picture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "files/source.h"

namespace sheetkit {
namespace {

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct drawn {
  run_info run = run_from_object(rectangle::of(100, 50), "i.txt", "d.txt");
  instance in;
  solution s;
  std::string svg() {
    solution_rules rules;
    rules.copies = unlimited_copies;
    const solution_report r = check_solution({run.object, in.items, in.defects}, s, rules);
    std::ostringstream out;
    render_solution(out, run, in, s, r, svg::form{});
    return out.str();
  }
};

TEST(SolutionPicture, EveryViolationWithAPlaceIsOutlinedAndNumbered) {
  drawn d;
  d.in.number = 1;
  d.in.items = {rectangle::of(20, 10), rectangle::of(30, 30)};
  d.in.defects = {{60, 0, 70, 5}};
  d.s.file = "p.csv";
  d.s.items = {{.item_type = 0, .x = 0, .y = 0, .line = 2},
               {.item_type = 0, .x = 10, .y = 5, .line = 3},     // overlaps the first
               {.item_type = 1, .x = 55, .y = 0, .line = 4},     // on the defect
               {.item_type = 1, .x = 80, .y = 30, .line = 5}};   // out past the object's end
  const std::string svg = d.svg();
  EXPECT_EQ(count(svg, "class=\"violation\""), 3u);
  EXPECT_EQ(count(svg, "class=\"violation-number\""), 3u);
  EXPECT_EQ(count(svg, "class=\"item t"), 4u);
  EXPECT_GT(count(svg, "class=\"hatch\""), 0u);
  EXPECT_NE(svg.find("3 violations; 3 outlined in red"), std::string::npos);
  // Each count names its own file.
  EXPECT_NE(svg.find("2 item types from i.txt, 1 defect from d.txt"), std::string::npos);
}

TEST(SolutionPicture, AHugePlacementIsDrawnUpToItsLimitAndSaysSo) {
  drawn d;
  d.in.number = 1;
  d.in.items = {rectangle::of(1, 1)};
  d.s.items.assign(max_drawn_items + 1, placement{.item_type = 0, .x = 0, .y = 0});
  const std::string svg = d.svg();
  EXPECT_EQ(count(svg, "class=\"item t"), max_drawn_items);
  EXPECT_NE(svg.find("50000 of 50001 items are drawn."), std::string::npos);  // after "Only the first"
}

}  // namespace
}  // namespace sheetkit
