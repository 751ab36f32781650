#include "figures/stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::worked_instances;
using testing::worked_run;

// `parts` passes over every parts-th instance each, as a source of a run
// split over threads gives them; one pass over all in order when asked for.
std::vector<instance_pass> split(const std::vector<instance>& all, std::size_t parts) {
  std::vector<instance_pass> passes;
  for (std::size_t k = 0; k < parts; ++k) {
    passes.push_back([&all, k, parts](const auto& visit) {
      for (std::size_t i = k; i < all.size(); i += parts) visit(all[i]);
    });
  }
  return passes;
}

stats_source source_of(const std::vector<instance>& all, std::size_t parts = 1) {
  return {[&all, parts](bool in_order) { return split(all, in_order ? 1 : parts); },
          [&all, parts] { return split(all, parts); }};
}

TEST(Stats, WorkedExample) {
  const auto instances = worked_instances();
  std::vector<instance_stats> rows;
  const run_stats s = compute_stats(worked_run(), source_of(instances),
                                    [&](const instance_stats& r) { rows.push_back(r); });
  // By hand: areas 10 14 14 15 16 16 18 18, lower median 15; ratios 2/9
  // 1/4 2/5 1/2 3/5 7/2 7/2 4, lower median 1/2; totals 61 and 60; each
  // instance's two defects are disjoint, 6 + 10 = 16 of 100.
  EXPECT_EQ(s.passes, 1);
  EXPECT_EQ(s.instances, 2);
  EXPECT_EQ(s.items, 8);
  EXPECT_EQ(s.item_area.min, 10);
  EXPECT_EQ(s.item_area.middle, 15);
  EXPECT_EQ(s.item_area.max, 18);
  EXPECT_EQ(s.ratio.min, 2.0 / 9);
  EXPECT_EQ(s.ratio.middle, 0.5);
  EXPECT_EQ(s.ratio.max, 4.0);
  EXPECT_EQ(s.total_area.min, 60);
  EXPECT_EQ(s.total_area.middle, testing::worked_total_area_mean);
  EXPECT_EQ(s.covered_area.max, 16);
  EXPECT_EQ(s.items_outside_bounds, 0);
  // Instance 1's areas 14 15 16 16 (median 15), instance 2's 10 14 18 18
  // (median 14), each line as soon as its instance is read.
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].number, 1);
  EXPECT_EQ(rows[0].area_median, 15);
  EXPECT_EQ(rows[0].total_area, 61);
  EXPECT_EQ(rows[1].area_min, 10);
  EXPECT_EQ(rows[1].area_median, 14);
  EXPECT_EQ(rows[1].area_max, 18);
  EXPECT_EQ(rows[1].covered_area, 16);
}

TEST(Stats, OddRunsAndDefectsBeyondTheObject) {
  run_info run;
  run.object = rectangle::of(20, 10);  // no answers: no bounds
  std::vector<instance> instances(3);
  instances[0].number = 1;
  // Longer than the object, wider, both, and one that fits.
  instances[0].items = {rectangle::of(21, 2), rectangle::of(1, 11), rectangle::of(21, 22),
                        rectangle::of(10, 5)};
  // Overlapping each other and reaching past the object's far corner: within
  // it, x 15..20 by y 5..10 (25) and what x 18..20 by y 0..10 adds (10).
  instances[0].defects = {{15, 5, 30, 40}, {18, 0, 25, 12}};
  instances[1].number = 2;  // nothing at all
  instances[2].number = 3;
  instances[2].items = {rectangle::of(4, 2)};
  instances[2].defects = {{0, 0, 20, 10}, {0, 0, 20, 10}};

  std::vector<instance_stats> rows;
  const run_stats s =
      compute_stats(run, source_of(instances), [&](const instance_stats& r) { rows.push_back(r); });
  EXPECT_EQ(s.items_not_fitting, 3);
  EXPECT_EQ(s.items, 5);
  EXPECT_EQ(s.item_area.middle, 42);  // of 8 11 42 50 462
  EXPECT_EQ(s.covered_area.min, 0);
  EXPECT_EQ(s.covered_area.max, 200);
  EXPECT_DOUBLE_EQ(s.covered_area.middle, 235.0 / 3);
  EXPECT_EQ(rows[0].covered_area, 35);
  EXPECT_EQ(rows[1].items, 0);
  EXPECT_EQ(s.items_per_instance.min, 0);

  // An empty run: every spread empty, nothing divides by zero.
  const std::vector<instance> none;
  const run_stats empty = compute_stats(run, source_of(none));
  EXPECT_EQ(empty.instances, 0);
  EXPECT_EQ(empty.item_area.count, 0);
  EXPECT_EQ(empty.covered_area.count, 0);

  // With bounds, the areas outside them are counted.
  run_info bounded = worked_run();
  bounded.object = run.object;
  bounded.answers->minarea = 10;
  bounded.answers->maxarea = 42;
  bounded.answers->no_instances = 3;
  EXPECT_EQ(compute_stats(bounded, source_of(instances)).items_outside_bounds, 3);
}

// Exact lower medians of what `instances` hold, by sorting.
void expect_exact_medians(const std::vector<instance>& instances, const run_stats& s) {
  std::vector<int64_t> areas;
  std::vector<double> ratios;
  for (const instance& in : instances) {
    for (const rectangle& r : in.items) {
      areas.push_back(r.area);
      ratios.push_back(static_cast<double>(r.length) / r.width);
    }
  }
  std::sort(areas.begin(), areas.end());
  std::sort(ratios.begin(), ratios.end());
  EXPECT_EQ(s.item_area.middle, areas[(areas.size() - 1) / 2]);
  EXPECT_EQ(s.ratio.middle, ratios[(ratios.size() - 1) / 2]);
  EXPECT_EQ(s.item_area.min, areas.front());
  EXPECT_EQ(s.ratio.max, ratios.back());
}

// More item types than are kept in memory: read twice, in one part or in
// several at once, the first pass too.
TEST(Stats, MediansOfLargeRunsAreExact) {
  std::mt19937 random(11);
  const auto run_of = [&](auto make_item) {
    std::vector<instance> instances(300);
    for (std::size_t k = 0; k < instances.size(); ++k) {
      instances[k].number = static_cast<int64_t>(k) + 1;
      for (int i = 0; i < 2000; ++i) instances[k].items.push_back(make_item());
    }
    return instances;
  };
  run_info run;
  run.object = rectangle::of(50000, 40000);

  // Areas crowded into few values, ratios into a cluster of near-equal
  // fractions, whole-number ratios and squares among them.
  const auto crowded = run_of([&] {
    const int32_t area = static_cast<int32_t>(random() % 65536);
    const auto pick = random() % 100;
    if (pick < 30) return rectangle{.area = area, .length = 7, .width = 7};
    if (pick < 40) return rectangle{.area = area, .length = 5, .width = 1};
    const auto w = static_cast<int32_t>((1 << 20) + random() % 65536);
    return rectangle{.area = area, .length = w - 1, .width = w};
  });
  // Areas spread over 31 bits, shapes over every ratio.
  const auto spread = run_of([&] {
    return rectangle{.area = static_cast<int32_t>(random() >> 1),
                     .length = static_cast<int32_t>(random() % 20000 + 1),
                     .width = static_cast<int32_t>(random() % 20000 + 1)};
  });
  // The crowded ratios, many different ones in one 65536th of the first
  // pass's range and of the second's, take a third pass.
  for (const auto& [instances, passes] : {std::pair{&crowded, 3}, std::pair{&spread, 2}}) {
    for (const std::size_t parts : {1, 2, 3}) {
      SCOPED_TRACE(parts);
      const run_stats s = compute_stats(run, source_of(*instances, parts));
      EXPECT_EQ(s.passes, passes);
      expect_exact_medians(*instances, s);
    }
  }

  // The median is the first value of its bucket: the rank equals the count
  // of everything below.
  std::vector<instance> split(1);
  split[0].items.assign(150000, rectangle::of(1, 3));
  split[0].items.insert(split[0].items.end(), 150001, rectangle::of(14000, 5));
  const run_stats c = compute_stats(run, source_of(split));
  EXPECT_EQ(c.item_area.middle, 70000);
  EXPECT_EQ(c.ratio.middle, 2800.0);
}

// A first pass in parts that fails, or that finds more instances than the
// answers ask for, is made again in order: for the error where it comes
// first, and to stop at the answers' number (which only the in-order pass
// of a source does).
TEST(Stats, FirstPassInPartsFallsBackToOrder) {
  const auto instances = worked_instances();
  int in_order = 0;
  const auto with = [&](std::function<std::vector<instance_pass>()> parts) {
    return stats_source{[&, parts](bool order) {
                          if (!order) return parts();
                          ++in_order;
                          return split(instances, 1);
                        },
                        [&] { return split(instances, 1); }};
  };
  run_info run = worked_run();

  const run_stats parallel = compute_stats(run, with([&] { return split(instances, 2); }));
  EXPECT_EQ(in_order, 0);
  EXPECT_EQ(parallel.item_area.middle, 15);
  EXPECT_EQ(parallel.total_area.min, 60);

  const auto failing = [&] {
    std::vector<instance_pass> parts = split(instances, 2);
    parts[1] = [](const auto&) { throw sheetgen::error("x:1: wrong"); };
    return parts;
  };
  const run_stats again = compute_stats(run, with(failing));
  EXPECT_EQ(in_order, 1);
  EXPECT_EQ(again.instances, 2);
  EXPECT_EQ(again.items, 8);

  run.answers->no_instances = 1;
  compute_stats(run, with([&] { return split(instances, 2); }));
  EXPECT_EQ(in_order, 2);
}

TEST(Stats, RunThatChangesBetweenPassesIsAnError) {
  std::vector<instance> instances(1);
  for (int32_t k = 0; k < 600000; ++k)
    instances[0].items.push_back({.area = k, .length = 1, .width = 1});
  int passes = 0;
  const instance_pass shrinking = [&](const auto& visit) {
    // One item among the candidates for the median goes missing.
    if (++passes == 2) instances[0].items.erase(instances[0].items.begin() + 300000);
    visit(instances[0]);
  };
  const stats_source source{[&](bool) { return std::vector{shrinking}; },
                            [&] { return std::vector{shrinking}; }};
  EXPECT_THROW(compute_stats(run_info{}, source), sheetgen::error);
}

}  // namespace
}  // namespace sheetkit
