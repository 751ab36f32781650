#include "solutions/overlap_sweep.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "solutions/solution_check.h"

namespace sheetkit {
namespace {

// Random rectangles on a small grid, so that many share edges and corners.
std::vector<sweep_box> random_boxes(std::mt19937_64& rng, int count, int grid, int most) {
  std::uniform_int_distribution<int64_t> at(0, grid), side(0, most);
  std::vector<sweep_box> out;
  for (int k = 0; k < count; ++k) {
    const int64_t x = at(rng), y = at(rng);
    out.push_back({x, y, x + side(rng), y + side(rng)});  // some of no area
  }
  return out;
}

using pair_set = std::set<std::tuple<std::size_t, std::size_t, bool>>;

TEST(OverlapSweep, FindsExactlyThePairsThatComparingAllPairsFinds) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int grid = 4 + round % 40;
    const auto items = random_boxes(rng, 1 + round % 60, grid, 1 + round % 7);
    const auto defects = random_boxes(rng, round % 5, grid, 1 + round % 5);
    pair_set expected;
    for (std::size_t a = 0; a < items.size(); ++a) {
      for (std::size_t b = a + 1; b < items.size(); ++b)
        if (interiors_meet(items[a], items[b])) expected.insert({a, b, false});
      for (std::size_t d = 0; d < defects.size(); ++d)
        if (interiors_meet(items[a], defects[d])) expected.insert({a, d, true});
    }
    pair_set named;
    const overlap_counts counts = find_overlaps(
        items, defects, [] { return true; },
        [&](std::size_t a, std::size_t b, bool defect) {
          EXPECT_TRUE(named.insert({a, b, defect}).second) << "a pair named twice";
        });
    EXPECT_EQ(named, expected) << "round " << round;
    EXPECT_EQ(counts.item_pairs + counts.defect_pairs, static_cast<int64_t>(expected.size()));
    // Counting alone, naming none, gives the same numbers.
    const overlap_counts quiet = find_overlaps(
        items, defects, [] { return false; },
        [](std::size_t, std::size_t, bool) { ADD_FAILURE() << "named a pair unasked"; });
    EXPECT_EQ(quiet.item_pairs, counts.item_pairs);
    EXPECT_EQ(quiet.defect_pairs, counts.defect_pairs);
    // Moved past 31 bits, or below 0, the same rectangles take the sweep's
    // other ordering (a comparison sort): the same pairs.
    for (const int64_t by : {int64_t{1} << 40, int64_t{-3}}) {
      auto far_items = items, far_defects = defects;
      for (auto* list : {&far_items, &far_defects})
        for (sweep_box& b : *list) b = {b.x1 + by, b.y1 - by, b.x2 + by, b.y2 - by};
      pair_set far;
      find_overlaps(
          far_items, far_defects, [] { return true; },
          [&](std::size_t a, std::size_t b, bool defect) {
            far.insert({a, b, defect});
          });
      EXPECT_EQ(far, expected) << "round " << round << ", moved by " << by;
    }
  }
}

TEST(OverlapSweep, ThePlacementCheckCountsWhatComparingAllPairsCounts) {
  // Through the check: items of random types, turned or not, on a grid.
  std::mt19937_64 rng(11);
  const std::vector<rectangle> types = {rectangle::of(2, 1), rectangle::of(3, 2),
                                        rectangle::of(1, 1)};
  const std::vector<placed_defect> defects = {{4, 4, 6, 5}, {0, 9, 2, 10}};
  std::uniform_int_distribution<int64_t> at(0, 10), type(0, 2), coin(0, 1);
  for (int round = 0; round < 200; ++round) {
    const bool rotation = round % 2 == 1;
    std::vector<placement> placed;
    for (int k = 0; k < 12; ++k) {
      placed.push_back({.item_type = type(rng),
                        .x = at(rng),
                        .y = at(rng),
                        .rotated = rotation && coin(rng) == 1});
    }
    int64_t expected = 0;
    const auto box = [&](const placement& p) {
      const rectangle& t = types[static_cast<std::size_t>(p.item_type)];
      const int64_t l = p.rotated ? t.width : t.length, w = p.rotated ? t.length : t.width;
      return sweep_box{p.x, p.y, p.x + l, p.y + w};
    };
    for (std::size_t a = 0; a < placed.size(); ++a) {
      const sweep_box u = box(placed[a]);
      if (u.x2 > 12 || u.y2 > 12) ++expected;  // outside the 12 x 12 object
      for (std::size_t b = a + 1; b < placed.size(); ++b)
        expected += interiors_meet(u, box(placed[b]));
      for (const placed_defect& d : defects)
        expected += interiors_meet(u, {d.x1, d.y1, d.x2, d.y2});
    }
    solution_rules rules;
    rules.copies = unlimited_copies;
    rules.rotation = rotation;
    const solution_report r =
        check_placements({rectangle::of(12, 12), types, defects}, placed, rules);
    EXPECT_EQ(r.violation_count, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace sheetkit
