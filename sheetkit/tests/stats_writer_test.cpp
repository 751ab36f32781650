#include "figures/stats_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::worked_instances;
using testing::worked_run;

// The worked example's figures through `writer`, with its instances' lines
// when `rows`; checks that each line is out as soon as it is given.
std::string written(bool json, bool rows) {
  const auto instances = worked_instances();
  std::ostringstream out;
  const auto writer =
      json ? json_stats_writer(out, worked_run()) : text_stats_writer(out, worked_run());
  const stats_source source{[&](bool) { return std::vector{testing::replay(instances)}; },
                            [&] { return std::vector{testing::replay(instances)}; }};
  std::size_t before = 0;
  const run_stats s = compute_stats(worked_run(), source, [&](const instance_stats& r) {
    if (!rows) return;
    writer->row(r);
    EXPECT_GT(out.str().size(), before);
    before = out.str().size();
  });
  writer->summary(s);
  return out.str();
}

constexpr const char* worked_rows =
    R"(instance  item types    area min      median    area max  total area   defects    coverage  usable area  best bound  bound by
       1           4          14          15          16     61.000%         2     16.000%           84          61  knapsack
       2           4          10          14          18     60.000%         2     16.000%           84          60  knapsack

)";

constexpr const char* worked_summary = R"(object 10 x 10 (area 100), 2 instances, 8 item types
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
usable area                                84          84.00             84
best bound                                 60          60.50             61

item types longer or wider than the object: 0
item types with area outside the bounds: 0
best bound: on the placed area, the least of the usable area, the copies that fit and
  the knapsack bound, with 1 copy of each item type, never turned
  knapsack bound exact in 2 instances, the linear relaxation in 0
median: the lower of the two middle values when their number is even
)";

TEST(StatsWriter, Text) {
  EXPECT_EQ(written(false, false), worked_summary);
  EXPECT_EQ(written(false, true), std::string(worked_rows) + worked_summary);

  // No instances: dashes where nothing is known, nothing divided by zero.
  std::ostringstream out;
  run_info run;
  run.object = rectangle::of(20, 10);
  text_stats_writer(out, run)->summary(stats_head(run));
  EXPECT_NE(out.str().find("\nitem area" + std::string(35, ' ') + "-" + std::string(14, ' ') + "-" +
                           std::string(14, ' ') + "-\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find("outside the bounds"), std::string::npos);
}

// The suite file's names (item_types per instance, the bounds as text);
// per instance or total said where both exist.
constexpr const char* worked_json = R"({
  "format_version": 2,
  "object": {"length": 10, "width": 10, "area": 100},
  "bounds": {"lower": "0.1", "upper": "0.2", "min_area": 10, "max_area": 20},
  "median": "lower",
  "per_instance": [
    {"instance": 1, "item_types": 4, "item_area": {"min": 14, "median": 15, "max": 16},
     "total_item_area": 61, "total_item_area_relative": 0.61,
     "defects": 2, "defect_union_area": 16, "defect_union_relative": 0.16,
     "upper_bounds": {"object_area": 100, "defect_area": 16, "usable_area": 84,
                      "copies_that_fit": [1, 1, 1, 1], "value_is_area": true, "copies_value": 61,
                      "linear_relaxation": 61, "knapsack": 61, "knapsack_method": "all_fit",
                      "knapsack_exact": true, "knapsack_note": null, "best": 61,
                      "best_is": "knapsack"}},
    {"instance": 2, "item_types": 4, "item_area": {"min": 10, "median": 14, "max": 18},
     "total_item_area": 60, "total_item_area_relative": 0.6,
     "defects": 2, "defect_union_area": 16, "defect_union_relative": 0.16,
     "upper_bounds": {"object_area": 100, "defect_area": 16, "usable_area": 84,
                      "copies_that_fit": [1, 1, 1, 1], "value_is_area": true, "copies_value": 60,
                      "linear_relaxation": 60, "knapsack": 60, "knapsack_method": "all_fit",
                      "knapsack_exact": true, "knapsack_note": null, "best": 60,
                      "best_is": "knapsack"}}
  ],
  "instances": 2,
  "item_types_total": 8,
  "item_area": {"min": 10, "median": 15, "max": 18},
  "item_area_relative": {"min": 0.1, "median": 0.15, "max": 0.18},
  "length_width_ratio": {"min": 0.2222222222222222, "median": 0.5, "max": 4.0},
  "item_types_not_fitting": 0,
  "item_types_outside_bounds": 0,
  "item_types_per_instance": {"min": 4, "mean": 4.0, "max": 4},
  "total_item_area_per_instance": {"min": 60, "mean": 60.5, "max": 61},
  "total_item_area_relative_per_instance": {"min": 0.6, "mean": 0.605, "max": 0.61},
  "defects_per_instance": {"min": 2, "mean": 2.0, "max": 2},
  "defect_union_area_per_instance": {"min": 16, "mean": 16.0, "max": 16},
  "defect_union_relative_per_instance": {"min": 0.16, "mean": 0.16, "max": 0.16},
  "bound_rules": {"copies": 1, "rotation": false},
  "usable_area_per_instance": {"min": 84, "mean": 84.0, "max": 84},
  "best_bound_per_instance": {"min": 60, "mean": 60.5, "max": 61},
  "best_bound_total": 121,
  "knapsack_exact_instances": 2,
  "knapsack_relaxation_instances": 0
})";

TEST(StatsWriter, Json) {
  using json = nlohmann::ordered_json;
  // Compared as text, in order, so that 4 and 4.0 differ: counts stay
  // integers.
  const std::string with_rows = written(true, true);
  EXPECT_EQ(json::parse(with_rows).dump(), json::parse(worked_json).dump());
  // Each instance on a line of its own, and the document as dump(2) would
  // write it without them.
  EXPECT_NE(with_rows.find("\n    {\"instance\":2,"), std::string::npos) << with_rows;
  json brief = json::parse(worked_json);
  brief.erase("per_instance");
  EXPECT_EQ(written(true, false), brief.dump(2) + "\n");

  // What does not exist is null.
  run_info run;
  run.object = rectangle::of(20, 10);
  std::ostringstream out;
  const auto writer = json_stats_writer(out, run);
  instance_stats empty;
  empty.number = 1;
  writer->row(empty);
  run_stats s = stats_head(run);
  s.instances = 1;
  writer->summary(s);
  const json j = json::parse(out.str());
  EXPECT_TRUE(j["bounds"].is_null());
  EXPECT_TRUE(j["item_types_outside_bounds"].is_null());
  EXPECT_TRUE(j["item_area"]["median"].is_null());
  EXPECT_TRUE(j["per_instance"][0]["item_area"]["median"].is_null());
  EXPECT_TRUE(j["defect_union_relative_per_instance"]["mean"].is_null());
}

}  // namespace
}  // namespace sheetkit
