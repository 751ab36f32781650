#include "figures/table_figures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "figures/rank_selector.h"
#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::replay;
using testing::worked_instances;

table_row heading(int64_t length, int64_t width) {
  table_row row;
  row.length = length;
  row.width = width;
  return row;
}

// By hand: lengths 2 2 2 3 3 7 7 8 (rank 3: 3), widths 2 2 2 5 5 6 8 9
// (rank 3: 5), areas 10 14 14 15 16 16 18 18 (ranks 1, 3, 5: 14, 15, 16);
// totals 61 and 60 of 100; each instance's two defects, 6 and 10, apart.
TEST(TableFigures, WorkedExample) {
  const auto instances = worked_instances();
  table_row row = heading(10, 10);
  compute_figures(row, replay(instances));
  EXPECT_EQ(row.instances, 2);
  EXPECT_EQ(row.items, 8);
  EXPECT_EQ(row.item_types, 4);
  EXPECT_EQ(
      (std::vector<int64_t>{row.item_length.min, row.item_length.median, row.item_length.max}),
      (std::vector<int64_t>{2, 3, 8}));
  EXPECT_EQ((std::vector<int64_t>{row.item_width.min, row.item_width.median, row.item_width.max}),
            (std::vector<int64_t>{2, 5, 9}));
  EXPECT_EQ((std::vector<int64_t>{row.item_area.min, row.item_area.q1, row.item_area.median,
                                  row.item_area.q3, row.item_area.max}),
            (std::vector<int64_t>{10, 14, 15, 16, 18}));
  EXPECT_DOUBLE_EQ(row.total_area_mean, testing::worked_total_area_relative_mean);
  EXPECT_DOUBLE_EQ(row.total_area_sd, 0.005);
  EXPECT_EQ(row.distinct_mean, 4);
  EXPECT_EQ(row.defects, 2);
  EXPECT_DOUBLE_EQ(row.defect_area_mean, 0.16);
  EXPECT_DOUBLE_EQ(row.covered_mean, 0.16);
}

TEST(TableFigures, RepeatedItemsOverlapsAndDefectsBeyondTheObject) {
  std::vector<instance> instances(3);
  // The same sides twice count once; turned, they are another type.
  instances[0].items = {rectangle::of(2, 3), rectangle::of(2, 3), rectangle::of(3, 2)};
  // Within the 20 x 10 object: 5 x 5 and 2 x 10, sharing 2 x 5.
  instances[0].defects = {{15, 5, 30, 40}, {18, 0, 25, 12}};
  instances[2].items = {rectangle::of(4, 2)};
  table_row row = heading(20, 10);
  compute_figures(row, replay(instances));
  EXPECT_EQ(row.instances, 3);
  EXPECT_DOUBLE_EQ(row.distinct_mean, 1.0);  // (2 + 0 + 1) / 3
  EXPECT_DOUBLE_EQ(row.defect_area_mean, 45.0 / 200 / 3);
  EXPECT_DOUBLE_EQ(row.covered_mean, 35.0 / 200 / 3);
  EXPECT_DOUBLE_EQ(row.item_types, 4.0 / 3);

  // Many pairs among few sides, and a pair of zeros (which files may hold).
  std::mt19937 random(3);
  std::vector<instance> crowd(1);
  std::set<std::pair<int32_t, int32_t>> pairs;
  for (int k = 0; k < 5000; ++k) {
    const auto l = static_cast<int32_t>(random() % 60), w = static_cast<int32_t>(random() % 60);
    crowd[0].items.push_back(rectangle::of(l, w));
    pairs.insert({l, w});
  }
  crowd[0].items.push_back(rectangle::of(0, 0));
  pairs.insert({0, 0});
  table_row many = heading(100, 100);
  compute_figures(many, replay(crowd));
  EXPECT_EQ(many.distinct_mean, static_cast<double>(pairs.size()));

  // Nothing at all: no figures, and nothing divided by zero.
  table_row none = heading(20, 10);
  compute_figures(none, replay({}));
  EXPECT_EQ(none.instances, 0);
  EXPECT_EQ(none.items, 0);
}

// More item types than a pass keeps, crowded around the middle and with far
// outliers, so that the quantiles take the second pass: sorting agrees.
TEST(TableFigures, QuantilesBeyondMemoryAgreeWithSorting) {
  std::mt19937 random(5);
  std::vector<instance> instances(3);
  std::vector<int32_t> lengths, widths, areas;
  for (instance& in : instances) {
    for (std::size_t i = 0; i < rank_selector::max_kept; ++i) {
      const int32_t l = random() % 10 == 0 ? 1 + static_cast<int32_t>(random() % 20000)
                                           : 400 + static_cast<int32_t>(random() % 150);
      const int32_t w = 1 + static_cast<int32_t>(random() % 20000);
      in.items.push_back(rectangle::of(l, w));
      lengths.push_back(l);
      widths.push_back(w);
      areas.push_back(l * w);
    }
  }
  table_row row = heading(20000, 20000);
  compute_figures(row, replay(instances));
  const auto at = [](std::vector<int32_t> v, std::size_t num, std::size_t den) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) * num / den];
  };
  EXPECT_EQ(row.item_length.median, at(lengths, 1, 2));
  EXPECT_EQ(row.item_width.median, at(widths, 1, 2));
  EXPECT_EQ((std::vector<int64_t>{row.item_area.q1, row.item_area.median, row.item_area.q3}),
            (std::vector<int64_t>{at(areas, 1, 4), at(areas, 1, 2), at(areas, 3, 4)}));
}

// A class read several sets at once: the same row, to the last bit, for
// every number of jobs, and as one pass over all its sets gives.
TEST(TableFigures, SetsReadAtOnceGiveTheSameRow) {
  std::mt19937 random(11);
  std::vector<std::vector<instance>> sets(5);
  for (auto& set : sets) {
    for (int k = 0; k < 7; ++k) {
      instance in;
      for (int i = 0; i < 40000; ++i) {
        const auto l = 1 + static_cast<int32_t>(random() % 3000);
        const auto w = 1 + static_cast<int32_t>(random() % 3000);
        in.items.push_back(rectangle::of(l, w));
      }
      in.defects.push_back({1, 2, 30 + k, 40});
      set.push_back(std::move(in));
    }
  }
  std::vector<instance_pass> passes;
  std::vector<instance> all;
  for (const auto& set : sets) {
    passes.push_back(replay(set));
    all.insert(all.end(), set.begin(), set.end());
  }
  const auto figures = [](const table_row& r) {
    return std::vector<double>{static_cast<double>(r.instances),
                               static_cast<double>(r.items),
                               static_cast<double>(r.item_length.median),
                               static_cast<double>(r.item_width.median),
                               static_cast<double>(r.item_area.q1),
                               static_cast<double>(r.item_area.median),
                               static_cast<double>(r.item_area.q3),
                               static_cast<double>(r.item_area.max),
                               r.item_types,
                               r.distinct_mean,
                               r.defects,
                               r.total_area_mean,
                               r.total_area_sd,
                               r.defect_area_mean,
                               r.covered_mean};
  };
  table_row one = heading(3000, 3000);
  compute_figures(one, passes, 1);
  table_row whole = heading(3000, 3000);
  compute_figures(whole, replay(all));
  // One pass's running deviation may differ from the sets' merged ones in
  // the last bits; everything else is exact.
  EXPECT_EQ(figures(whole).size(), figures(one).size());
  EXPECT_NEAR(whole.total_area_sd, one.total_area_sd, 1e-12 * one.total_area_sd);
  whole.total_area_sd = one.total_area_sd;
  EXPECT_EQ(figures(whole), figures(one));
  for (unsigned jobs : {2u, 3u, 8u}) {
    table_row many = heading(3000, 3000);
    std::vector<std::size_t> done;
    compute_figures(many, passes, jobs, {}, [&](std::size_t k) { done.push_back(k); });
    EXPECT_EQ(figures(many), figures(one)) << jobs << " jobs";
    EXPECT_EQ(done, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  }
}

}  // namespace
}  // namespace sheetkit
