#include <gtest/gtest.h>
#include <sheetgen/perfect_packing.h>

#include <optional>
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

sheetgen::family_run perfect_run(std::vector<sheetgen::parameter> parameters, int32_t seed,
                                 int32_t instances = 1) {
  sheetgen::family_settings s;
  s.family = "perfect";
  s.parameters = std::move(parameters);
  s.seed = seed;
  s.instances = instances;
  return sheetgen::family_run(std::move(s));
}

// The family's instances are its constructions: every certificate is
// feasible and meets the known optimum, which is the best bound too.
TEST(PerfectFamily, EveryInstancesCertificateMeetsItsKnownOptimum) {
  std::mt19937 random(31);
  const auto uniform = [&](int lo, int hi) {
    return std::to_string(std::uniform_int_distribution<int>(lo, hi)(random));
  };
  int made = 0, with_defects = 0, with_pinwheels = 0;
  for (int round = 0; round < 120; ++round) {
    const int stages = std::uniform_int_distribution<int>(2, 4)(random);
    const bool pinwheels = round % 3 == 2;
    std::vector<sheetgen::parameter> given = {{"items", uniform(20, 60)},
                                              {"length", uniform(200, 600)},
                                              {"width", uniform(200, 500)},
                                              {"stages", std::to_string(stages)},
                                              {"least", uniform(1, 5)},
                                              {"pinwheels", pinwheels ? uniform(1, 3) : "0"},
                                              {"orientation", round % 2 ? "any" : "horizontal"}};
    if (round % 2 == 0) given.emplace_back("defect_sizes", "20x30,15x15," + uniform(5, 40) + "x9");
    std::optional<sheetgen::family_run> run;
    try {
      run.emplace(perfect_run(given, round + 1, 2));
    } catch (const sheetgen::family_error& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    for (int32_t n = 1; n <= 2; ++n) {
      sheetgen::family_instance in;
      try {
        run->make(n, in);
      } catch (const sheetgen::error&) {
        continue;  // a random tree that finds no room: refused, never half made
      }
      const perfect_packing c = sheetgen::perfect_instance(*run, n);
      ASSERT_EQ(c.items, in.items);
      ASSERT_EQ(c.defects, in.defects);
      EXPECT_EQ(run->has_defects(), round % 2 == 0);
      ++made;
      with_defects += in.defects.empty() ? 0 : 1;
      with_pinwheels += pinwheels ? 1 : 0;
      const std::optional<int64_t> optimum = run->known_optimum(in);
      ASSERT_TRUE(optimum.has_value());
      EXPECT_EQ(*optimum, c.optimum);
      const solution_instance instance{c.object, c.items, c.defects};
      solution_rules rules;
      rules.guillotine.number_of_stages = stages;
      std::vector<solution> certificates = {read_one(sheetgen::perfect_placements(c, n), "p.csv")};
      if (!pinwheels)
        certificates.push_back(read_one(sheetgen::perfect_guillotine_certificate(c), "c.csv"));
      for (const solution& s : certificates) {
        solution_report r = check_solution(instance, s, rules);
        r.figures.known_optimum = optimum;
        EXPECT_TRUE(r.feasible()) << (r.lines().empty() ? "" : r.lines()[0]);
        EXPECT_EQ(r.figures.profit, *optimum);
        EXPECT_EQ(r.figures.optimum_gap(), 0.0);
        EXPECT_EQ(r.figures.gap(), 0.0);
      }
    }
  }
  EXPECT_GT(made, 150);
  EXPECT_GT(with_defects, 60);
  EXPECT_GT(with_pinwheels, 40);
}

TEST(PerfectFamily, BadParametersNameWhatIsWrong) {
  const auto message = [](std::vector<sheetgen::parameter> given, std::string law = "") {
    sheetgen::family_settings s;
    s.family = "perfect";
    s.parameters = std::move(given);
    s.defects = std::move(law);
    if (!s.defects.empty()) s.defect_parameters = {{"sizes", "2x2"}};
    try {
      sheetgen::family_run run(s);
    } catch (const sheetgen::family_error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  const auto with = [](std::vector<sheetgen::parameter> more) {
    std::vector<sheetgen::parameter> given = {{"items", "20"}, {"length", "100"}, {"width", "50"}};
    given.insert(given.end(), more.begin(), more.end());
    return given;
  };
  EXPECT_EQ(message(with({}), "sizes").rfind("perfect places its defects itself", 0), 0u);
  EXPECT_EQ(
      message(with({{"defect_sizes", "10x10"}, {"stages", "1"}, {"orientation", "vertical"}})),
      "perfect: defect 1 (10 x 10) needs stages 2 or more: with one, a defect spans the "
      "object's width");
  // A least side that the gaps beside a defect cannot keep, either way.
  EXPECT_EQ(message(with({{"defect_sizes", "96x10"}, {"least", "5"}, {"orientation", "vertical"}})),
            "perfect: defect 1 (96 x 10) leaves a gap to the object's side shorter than least 5");
  // With orientation any, a defect must suit both ways the first level may run.
  const std::string narrow = message(with({{"defect_sizes", "3x10"}, {"least", "5"}}));
  EXPECT_EQ(narrow.rfind("perfect: defect 1 (3 x 10) is shorter along the object's length than "
                         "least 5",
                         0),
            0u)
      << narrow;
  EXPECT_NE(narrow.find("give orientation horizontal)"), std::string::npos);
  EXPECT_EQ(
      message(with({{"defect_sizes", "3x10"}, {"least", "5"}, {"orientation", "horizontal"}})),
      "accepted");
  EXPECT_EQ(message(with({{"defect_sizes", "120x10"}})),
            "perfect: defect 1 (120 x 10) is larger than the object 100 x 50");
  EXPECT_NE(message(with({{"defect_sizes", "60x10,50x10"}, {"orientation", "vertical"}}))
                .find("defect 2 (50 x 10): defects 1 to 2 side by side along the object's length "
                      "(as the tree cuts them out) need 110, more than its 100"),
            std::string::npos);
  EXPECT_EQ(message(with({{"least", "60"}})),
            "perfect: least 60 is longer than a side of the object 100 x 50");
  EXPECT_NE(message(with({{"pinwheels", "5"}})).find("items 20 take at most 4"), std::string::npos);
  EXPECT_NE(message(with({{"orientation", "diagonal"}})).find("vertical, horizontal or any"),
            std::string::npos);
  EXPECT_NE(message(with({{"defect_sizes", "nonex"}})).find("not \"nonex\""), std::string::npos);
  EXPECT_EQ(message(with({{"defect_sizes", "none"}})), "accepted");
}

}  // namespace
}  // namespace sheetkit
