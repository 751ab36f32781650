#include "table_figures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "rank_selection.h"
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
  EXPECT_EQ((std::vector<int64_t>{row.item_length.min, row.item_length.median,
                                  row.item_length.max}),
            (std::vector<int64_t>{2, 3, 8}));
  EXPECT_EQ((std::vector<int64_t>{row.item_width.min, row.item_width.median, row.item_width.max}),
            (std::vector<int64_t>{2, 5, 9}));
  EXPECT_EQ((std::vector<int64_t>{row.item_area.min, row.item_area.q1, row.item_area.median,
                                  row.item_area.q3, row.item_area.max}),
            (std::vector<int64_t>{10, 14, 15, 16, 18}));
  EXPECT_DOUBLE_EQ(row.total_area_mean, 0.605);
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

// Sorting is the other way to the same values.
void expect_quantiles(std::vector<uint32_t> keys, rank_selection& s) {
  std::sort(keys.begin(), keys.end());
  const auto at = [&](uint64_t num, uint64_t den) { return keys[(keys.size() - 1) * num / den]; };
  EXPECT_EQ(s.value(0), at(1, 4));
  EXPECT_EQ(s.value(1), at(1, 2));
  EXPECT_EQ(s.value(2), at(3, 4));
}

TEST(RankSelection, ExactBeyondMemoryInTwoPasses) {
  std::mt19937 random(5);
  const std::vector<quantile> quartiles = {{1, 4}, {1, 2}, {3, 4}};
  // Crowded into a few 16-bit buckets, with far outliers: each rank is
  // found digit by digit.
  std::vector<uint32_t> keys;
  for (std::size_t i = 0; i < 3 * rank_selection::max_kept + 7; ++i) {
    const uint32_t r = random();
    keys.push_back(r % 10 == 0 ? r : 400000 + r % 150000);
  }
  rank_selection s(quartiles);
  int passes = 0;
  while (!s.done()) {
    for (const uint32_t k : keys) s.add(k);
    s.end_pass();
    ++passes;
  }
  EXPECT_EQ(passes, 2);
  expect_quantiles(keys, s);

  // The rank is the first key of its bucket, or the last.
  std::vector<uint32_t> split(rank_selection::max_kept, 70000);
  split.insert(split.end(), rank_selection::max_kept + 1, 65536 * 3 + 65535);
  rank_selection t(quartiles);
  for (int pass = 0; pass < 2; ++pass) {
    for (const uint32_t k : split) t.add(k);
    t.end_pass();
  }
  expect_quantiles(split, t);

  // Few keys are settled from memory at once.
  rank_selection one(quartiles);
  one.add(42);
  one.end_pass();
  EXPECT_TRUE(one.done());
  EXPECT_EQ(one.value(0), 42u);
}

TEST(RankSelection, KeysThatChangeBetweenPassesAreAnError) {
  rank_selection s({{1, 2}});
  const std::size_t n = rank_selection::max_kept + 100;
  for (std::size_t i = 0; i < n; ++i) s.add(static_cast<uint32_t>(i));
  s.end_pass();
  // A key near the median went missing.
  for (std::size_t i = 0; i < n; ++i)
    if (i != n / 2) s.add(static_cast<uint32_t>(i));
  EXPECT_THROW(s.end_pass(), sheetgen::error);
}

}  // namespace
}  // namespace sheetkit
