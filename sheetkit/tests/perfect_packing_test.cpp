#include <gtest/gtest.h>
#include <sheetgen/perfect_packing.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "figures/bounds.h"
#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetkit {
namespace {

using sheetgen::first_level;
using sheetgen::make_perfect_packing;
using sheetgen::perfect_packing;
using sheetgen::perfect_parameters;

solution read_one(const std::string& text, const std::string& name) {
  std::istringstream in(text);
  solution_reader reader(in, name);
  solution s;
  EXPECT_TRUE(reader.next(s));
  return s;
}

// Each construction's certificate and placements are feasible under the
// stages and orientation it was built with, place the usable area, and
// meet the best bound.
TEST(PerfectPacking, EveryCertificateIsFeasibleWithGapZero) {
  std::mt19937 random(32);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(random);
  };
  int built = 0, with_defects = 0, with_pinwheels = 0;
  for (int round = 0; round < 300; ++round) {
    perfect_parameters p;
    p.object = sheetgen::rectangle::of(uniform(20, 400), uniform(20, 300));
    p.item_types = uniform(1, 60);
    p.stages = uniform(1, 4);
    p.orientation = static_cast<first_level>(uniform(0, 2));
    p.least_side = uniform(1, 6);
    p.seed = uniform(1, 1000000);
    for (int d = uniform(0, 3); d > 0; --d)
      p.defects.push_back(sheetgen::rectangle::of(uniform(1, 30), uniform(1, 30)));
    p.pinwheels = uniform(0, 3) == 0 ? uniform(1, 2) : 0;
    perfect_packing c;
    try {
      c = make_perfect_packing(p);
    } catch (const sheetgen::error&) {
      continue;  // the law's refusals are held below
    }
    ++built;
    with_defects += !c.defects.empty();
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(c.items.size(), static_cast<std::size_t>(p.item_types));
    EXPECT_LE(c.levels, p.stages);
    for (const rectangle& r : c.items) {
      EXPECT_GE(std::min(r.length, r.width), p.least_side);
    }
    int64_t defect_area = 0;
    for (const placed_defect& d : c.defects) defect_area += int64_t{d.x2 - d.x1} * (d.y2 - d.y1);
    EXPECT_EQ(c.optimum, c.object.area - defect_area);

    solution_rules rules;
    rules.guillotine.number_of_stages = p.stages;
    rules.guillotine.non_exact = false;
    rules.guillotine.first_stage_orientation =
        c.first_vertical ? stage_orientation::vertical : stage_orientation::horizontal;
    const solution_instance instance{c.object, c.items, c.defects};
    if (p.pinwheels == 0) {
      const solution tree = read_one(sheetgen::perfect_guillotine_certificate(c), "tree.csv");
      const solution_report r = check_solution(instance, tree, rules);
      EXPECT_TRUE(r.feasible()) << (r.lines().empty() ? "" : r.lines()[0]);
      EXPECT_EQ(r.figures.placed_area, c.optimum);
    } else {
      ++with_pinwheels;
      EXPECT_THROW(sheetgen::perfect_guillotine_certificate(c), sheetgen::error);
    }
    const solution flat = read_one(sheetgen::perfect_placements(c), "placements.csv");
    const solution_report q = check_solution(instance, flat, rules);
    EXPECT_TRUE(q.feasible()) << (q.lines().empty() ? "" : q.lines()[0]);
    EXPECT_EQ(q.figures.placed_area, c.optimum);
    EXPECT_EQ(q.figures.gap(), 0.0);

    bound_input b;
    b.object = c.object;
    b.items = c.items;
    b.defects = c.defects;
    EXPECT_EQ(compute_bounds(b).best, c.optimum);
  }
  EXPECT_GT(built, 150);
  EXPECT_GT(with_defects, 60);
  EXPECT_GT(with_pinwheels, 20);
}

TEST(PerfectPacking, SameParametersSameInstance) {
  perfect_parameters p;
  p.object = sheetgen::rectangle::of(12, 10);
  p.item_types = 4;
  p.stages = 2;
  p.orientation = first_level::vertical;
  p.least_side = 2;
  p.defects = {sheetgen::rectangle::of(2, 3)};
  p.seed = 7;
  const perfect_packing a = make_perfect_packing(p);
  EXPECT_EQ(sheetgen::perfect_guillotine_certificate(a),
            sheetgen::perfect_guillotine_certificate(make_perfect_packing(p)));
  p.seed = 8;
  EXPECT_NE(sheetgen::perfect_guillotine_certificate(a),
            sheetgen::perfect_guillotine_certificate(make_perfect_packing(p)));
}

TEST(PerfectPacking, RefusalsNameTheDefect) {
  perfect_parameters p;
  p.object = sheetgen::rectangle::of(10, 10);
  p.item_types = 20;
  p.stages = 1;
  p.defects = {sheetgen::rectangle::of(2, 10), sheetgen::rectangle::of(3, 4)};
  const auto message = [&] {
    try {
      make_perfect_packing(p);
    } catch (const sheetgen::error& e) {
      return std::string(e.what());
    }
    return std::string("built");
  };
  p.orientation = first_level::vertical;
  EXPECT_EQ(message().rfind("defect 2 (3 x 4) needs two stages", 0), 0u) << message();
  p.stages = 2;
  p.defects = {sheetgen::rectangle::of(11, 1)};
  EXPECT_EQ(message(), "defect 1 (11 x 1) is larger than the object");
  // Two defects as long as the object leave no place to the second along
  // the first level's cuts.
  p.defects = {sheetgen::rectangle::of(10, 2), sheetgen::rectangle::of(10, 2)};
  EXPECT_EQ(message().rfind("defect 2 (10 x 2) finds no place", 0), 0u) << message();
  p.defects = {};
  p.least_side = 6;
  p.item_types = 2;
  EXPECT_NE(message().find("cannot be cut into 2 item types"), std::string::npos) << message();
  p.least_side = 4;
  p.item_types = 6;
  p.pinwheels = 1;  // 10 x 10 holds no piece of 12 x 12
  EXPECT_EQ(message().rfind("pinwheel 1 finds no piece", 0), 0u) << message();
  p.pinwheels = 2;
  EXPECT_NE(message().find("6 item types take at most 1"), std::string::npos) << message();
  p.seed = 0;
  EXPECT_NE(message().find("seed"), std::string::npos);
}

}  // namespace
}  // namespace sheetkit
