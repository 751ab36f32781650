#include "solutions/solution_picture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

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
               {.item_type = 0, .x = 10, .y = 5, .line = 3},    // overlaps the first
               {.item_type = 1, .x = 55, .y = 0, .line = 4},    // on the defect
               {.item_type = 1, .x = 80, .y = 30, .line = 5}};  // out past the object's end
  const std::string svg = d.svg();
  EXPECT_EQ(count(svg, "class=\"violation\""), 3u);
  EXPECT_EQ(count(svg, "class=\"violation-number\""), 3u);
  EXPECT_EQ(count(svg, "class=\"item t"), 4u);
  EXPECT_GT(count(svg, "class=\"hatch\""), 0u);
  EXPECT_NE(svg.find("3 violations; 3 outlined in red"), std::string::npos);
  // Each count names its own file.
  EXPECT_NE(svg.find("2 item types from i.txt, 1 defect from d.txt"), std::string::npos);
}

// The numbers in `svg` of attribute `name` ("x", "width") of elements of class `cls`.
std::vector<double> attributes(const std::string& svg, const std::string& cls,
                               const std::string& name) {
  std::vector<double> out;
  for (std::size_t at = svg.find("class=\"" + cls + "\""); at != std::string::npos;
       at = svg.find("class=\"" + cls + "\"", at + 1)) {
    const std::size_t open = svg.rfind('<', at), close = svg.find('>', at);
    const std::string element = svg.substr(open, close - open);
    const std::size_t a = element.find(" " + name + "=\"");
    if (a != std::string::npos) out.push_back(std::stod(element.substr(a + name.size() + 3)));
  }
  return out;
}

TEST(SolutionPicture, WhatLiesFarBeyondTheObjectIsMarkedAtItsEdgeInsideThePicture) {
  drawn d;
  d.in.number = 1;
  d.in.items = {rectangle::of(20, 10)};
  d.in.defects = {{60, 0, 70, 5}};
  d.s.file = "p.csv";
  d.s.items = {{.item_type = 0, .x = 1000000, .y = 20, .line = 2},   // far past the end
               {.item_type = 0, .x = 10, .y = -900000, .line = 3}};  // far below
  const std::string svg = d.svg();
  const std::size_t w = svg.find("width=\"");
  const double picture_width = std::stod(svg.substr(w + 7));
  const std::vector<double> xs = attributes(svg, "violation", "x");
  const std::vector<double> widths = attributes(svg, "violation", "width");
  ASSERT_EQ(xs.size(), 2u);
  for (std::size_t k = 0; k < xs.size(); ++k) {
    EXPECT_GE(xs[k], 0);
    EXPECT_LE(xs[k] + widths[k], picture_width);
  }
  for (const double x : attributes(svg, "violation-number", "x")) EXPECT_LT(x, picture_width - 8);
  for (const double y : attributes(svg, "violation-number", "y")) EXPECT_GT(y, 0);
  EXPECT_EQ(count(svg, "class=\"item t0 beyond\""), 2u);
  EXPECT_NE(svg.find("drawn just outside its edge, cut short"), std::string::npos);
  // Its place is kept in the tooltip; the defect is numbered from 1.
  EXPECT_NE(svg.find("item type 0 at (1000000, 20)"), std::string::npos);
  EXPECT_NE(svg.find("defect 1: (60, 0) to (70, 5)"), std::string::npos);
}

TEST(SolutionPicture, AHugePlacementIsDrawnUpToItsLimitAndSaysSo) {
  drawn d;
  d.in.number = 1;
  d.in.items = {rectangle::of(1, 1)};
  d.s.items.assign(max_drawn_items + 1, placement{.item_type = 0, .x = 0, .y = 0});
  const std::string svg = d.svg();
  EXPECT_EQ(count(svg, "class=\"item t"), max_drawn_items);
  EXPECT_NE(svg.find("50000 of 50001 items are drawn."),
            std::string::npos);  // after "Only the first"
}

}  // namespace
}  // namespace sheetkit
