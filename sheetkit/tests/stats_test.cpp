#include "stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::replay;
using testing::worked_instances;
using testing::worked_run;

using json = nlohmann::json;

// By hand: areas 10 14 14 15 16 16 18 18, lower median 15; ratios 2/9 1/4
// 2/5 1/2 3/5 7/2 7/2 4, lower median 1/2; totals 61 and 60; each instance's
// two defects are disjoint, 6 + 10 = 16 of 100. Instance 1's areas 14 15 16
// 16 (median 15), instance 2's 10 14 18 18 (median 14).
constexpr const char* worked_text = R"(object 10 x 10 (area 100), 2 instances, 8 item types
area bounds 10 .. 20 (relative 0.1 .. 0.2)

all item types                            min         median            max
item area                                  10             15             18
item area / object area               10.000%        15.000%        18.000%
length / width                         0.2222         0.5000         4.0000

per instance                              min           mean            max
item types                                  4           4.00              4
total item area                            60          60.50             61
total item area / object area         60.000%        60.500%        61.000%
defects                                     2           2.00              2
defect coverage                       16.000%        16.000%        16.000%

item types longer or wider than the object: 0
item types with area outside the bounds: 0
median: the lower of the two middle values when their number is even

instance  item types    area min      median    area max  total area   defects    coverage
       1           4          14          15          16     61.000%         2     16.000%
       2           4          10          14          18     60.000%         2     16.000%
)";

constexpr const char* worked_json = R"({
  "object": {"length": 10, "width": 10, "area": 100},
  "bounds": {"minrelsize": 0.1, "maxrelsize": 0.2, "minarea": 10, "maxarea": 20},
  "instances": 2,
  "item_types": 8,
  "median": "lower",
  "item_area": {"min": 10, "median": 15, "max": 18},
  "item_area_relative": {"min": 0.1, "median": 0.15, "max": 0.18},
  "length_width_ratio": {"min": 0.2222222222222222, "median": 0.5, "max": 4.0},
  "item_types_not_fitting": 0,
  "item_types_outside_bounds": 0,
  "item_types_per_instance": {"min": 4, "mean": 4.0, "max": 4},
  "total_item_area": {"min": 60, "mean": 60.5, "max": 61},
  "total_item_area_relative": {"min": 0.6, "mean": 0.605, "max": 0.61},
  "defects_per_instance": {"min": 2, "mean": 2.0, "max": 2},
  "covered_area": {"min": 16, "mean": 16.0, "max": 16},
  "defect_coverage": {"min": 0.16, "mean": 0.16, "max": 0.16},
  "per_instance": [
    {"number": 1, "item_types": 4, "item_area": {"min": 14, "median": 15, "max": 16},
     "total_item_area": 61, "total_item_area_relative": 0.61,
     "defects": 2, "covered_area": 16, "defect_coverage": 0.16},
    {"number": 2, "item_types": 4, "item_area": {"min": 10, "median": 14, "max": 18},
     "total_item_area": 60, "total_item_area_relative": 0.6,
     "defects": 2, "covered_area": 16, "defect_coverage": 0.16}
  ]
})";

TEST(Stats, WorkedExample) {
  const auto instances = worked_instances();
  const run_stats s = compute_stats(worked_run(), replay(instances), true);
  EXPECT_EQ(s.passes, 1);
  std::ostringstream text;
  write_text(text, s);
  EXPECT_EQ(text.str(), worked_text);
  // Compared as text, so that 4 and 4.0 differ: counts stay integers.
  EXPECT_EQ(to_json(s).dump(), json::parse(worked_json).dump());

  // Without per-instance figures, no per-instance part.
  const run_stats brief = compute_stats(worked_run(), replay(instances), false);
  std::ostringstream short_text;
  write_text(short_text, brief);
  const std::string full = worked_text;
  EXPECT_EQ(short_text.str(), full.substr(0, full.find("\ninstance ")));
  EXPECT_FALSE(to_json(brief).contains("per_instance"));
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

  const run_stats s = compute_stats(run, replay(instances), true);
  EXPECT_EQ(s.items_not_fitting, 3);
  EXPECT_EQ(s.items, 5);
  EXPECT_EQ(s.item_area.middle, 42);  // of 8 11 42 50 462
  EXPECT_EQ(s.covered_area.min, 0);
  EXPECT_EQ(s.covered_area.max, 200);
  EXPECT_EQ(s.per_instance[0].covered_area, 35);
  EXPECT_EQ(s.items_per_instance.min, 0);

  const json j = to_json(s);
  EXPECT_TRUE(j["bounds"].is_null());
  EXPECT_TRUE(j["item_types_outside_bounds"].is_null());
  EXPECT_DOUBLE_EQ(j["defect_coverage"]["mean"].get<double>(), (35.0 / 200 + 0 + 1) / 3);
  EXPECT_TRUE(j["per_instance"][1]["item_area"]["median"].is_null());

  // An empty run: every spread empty, nothing divides by zero.
  const run_stats none = compute_stats(run, replay({}), false);
  EXPECT_EQ(none.instances, 0);
  const json e = to_json(none);
  EXPECT_TRUE(e["item_area"]["median"].is_null());
  EXPECT_TRUE(e["defect_coverage"]["mean"].is_null());
  std::ostringstream empty_text;
  write_text(empty_text, none);
  const std::string dashes =
      std::string(35, ' ') + "-" + std::string(14, ' ') + "-" + std::string(14, ' ') + "-\n";
  EXPECT_NE(empty_text.str().find("\nitem area" + dashes), std::string::npos) << empty_text.str();

  // With bounds, the areas outside them are counted.
  run_info bounded = worked_run();
  bounded.object = run.object;
  bounded.answers->minarea = 10;
  bounded.answers->maxarea = 42;
  EXPECT_EQ(compute_stats(bounded, replay(instances), false).items_outside_bounds, 3);
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

// More item types than are kept in memory, so the run is read again.
TEST(Stats, MediansOfLargeRunsAreExact) {
  std::mt19937 random(11);
  const auto runs_of = [&](auto make_item) {
    std::vector<instance> instances(300);
    for (instance& in : instances) {
      for (int k = 0; k < 2000; ++k) in.items.push_back(make_item());
    }
    return instances;
  };
  run_info run;
  run.object = rectangle::of(50000, 40000);

  // Areas crowded into one 16-bit bucket, ratios into a cluster of
  // near-equal fractions, so that both are narrowed down digit by digit.
  const auto crowded = runs_of([&] {
    const int32_t area = static_cast<int32_t>(random() % 65536);
    if (random() % 100 < 45) return rectangle{.area = area, .length = 7, .width = 7};
    const auto w = static_cast<int32_t>((1 << 20) + random() % 65536);
    return rectangle{.area = area, .length = w - 1, .width = w};
  });
  const run_stats a = compute_stats(run, replay(crowded), false);
  EXPECT_EQ(a.passes, 4);
  expect_exact_medians(crowded, a);

  // Areas spread over 31 bits; most items square, so the median ratio is
  // exactly 1 however many there are.
  const auto squares = runs_of([&] {
    const auto area = static_cast<int32_t>(random() >> 1);
    const auto pick = random() % 10;
    return pick < 6   ? rectangle{.area = area, .length = 3, .width = 3}
           : pick < 8 ? rectangle{.area = area, .length = 1, .width = 3}
                      : rectangle{.area = area, .length = 5, .width = 1};
  });
  const run_stats b = compute_stats(run, replay(squares), false);
  EXPECT_EQ(b.passes, 2);
  EXPECT_EQ(b.ratio.middle, 1.0);
  expect_exact_medians(squares, b);

  // The median is the first value of its bucket: the rank equals the count
  // of everything below.
  std::vector<instance> split(1);
  split[0].items.assign(150000, rectangle::of(1, 3));
  split[0].items.insert(split[0].items.end(), 150001, rectangle::of(14000, 5));
  const run_stats c = compute_stats(run, replay(split), false);
  EXPECT_EQ(c.item_area.middle, 70000);
  EXPECT_EQ(c.ratio.middle, 2800.0);

  // Two neighbouring values share a bucket: it is not settled early.
  std::vector<instance> pair(1);
  pair[0].items.assign(150000, rectangle::of(10, 10));
  pair[0].items.insert(pair[0].items.end(), 150001, rectangle::of(1, 101));
  EXPECT_EQ(compute_stats(run, replay(pair), false).item_area.middle, 101);
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
  EXPECT_THROW(compute_stats(run_info{}, shrinking, false), sheetgen::error);
}

}  // namespace
}  // namespace sheetkit
