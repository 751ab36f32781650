#include "figures/bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace sheetkit {
namespace {

// The best value of any placement on the unit grid, by trying everything:
// the first free cell (row by row) is either left empty or an item's
// corner. Small objects only.
struct brute_force {
  int L, W;
  std::vector<rectangle> items;
  std::vector<int64_t> values, copies;
  bool rotation;
  std::vector<char> taken;  // cell x * W + y
  std::vector<int64_t> used;
  int64_t best = 0;

  bool free_box(int x, int y, int l, int w) const {
    if (x + l > L || y + w > W) return false;
    for (int i = x; i < x + l; ++i)
      for (int j = y; j < y + w; ++j)
        if (taken[static_cast<std::size_t>(i * W + j)]) return false;
    return true;
  }
  void mark(int x, int y, int l, int w, char v) {
    for (int i = x; i < x + l; ++i)
      for (int j = y; j < y + w; ++j) taken[static_cast<std::size_t>(i * W + j)] = v;
  }
  void search(int cell, int64_t value) {
    best = std::max(best, value);
    while (cell < L * W && taken[static_cast<std::size_t>(cell)]) ++cell;
    if (cell == L * W) return;
    const int x = cell / W, y = cell % W;
    for (std::size_t t = 0; t < items.size(); ++t) {
      if (used[t] == copies[t]) continue;
      for (int turn = 0; turn < (rotation ? 2 : 1); ++turn) {
        const int l = turn ? items[t].width : items[t].length;
        const int w = turn ? items[t].length : items[t].width;
        if (turn && l == w) continue;
        if (!free_box(x, y, l, w)) continue;
        mark(x, y, l, w, 1);
        ++used[t];
        search(cell + 1, value + values[t]);
        --used[t];
        mark(x, y, l, w, 0);
      }
    }
    taken[static_cast<std::size_t>(cell)] = 1;  // left empty
    search(cell + 1, value);
    taken[static_cast<std::size_t>(cell)] = 0;
  }
  int64_t solve(const std::vector<placed_defect>& defects) {
    taken.assign(static_cast<std::size_t>(L * W), 0);
    for (const placed_defect& d : defects)
      for (int i = std::max(d.x1, 0); i < std::min(d.x2, L); ++i)
        for (int j = std::max(d.y1, 0); j < std::min(d.y2, W); ++j)
          taken[static_cast<std::size_t>(i * W + j)] = 1;
    used.assign(items.size(), 0);
    best = 0;
    search(0, 0);
    return best;
  }
};

// The knapsack's optimum by enumerating every count of every type.
int64_t knapsack_by_counts(const std::vector<rectangle>& items, const std::vector<int64_t>& values,
                           const std::vector<int64_t>& counts, int64_t capacity) {
  int64_t best = 0;
  std::vector<int64_t> c(items.size(), 0);
  const std::function<void(std::size_t, int64_t, int64_t)> go = [&](std::size_t t, int64_t area,
                                                                    int64_t value) {
    if (area > capacity) return;
    if (t == items.size()) {
      best = std::max(best, value);
      return;
    }
    for (int64_t k = 0; k <= counts[t]; ++k)
      go(t + 1, area + k * items[t].area, value + k * values[t]);
  };
  go(0, 0, 0);
  return best;
}

TEST(Bounds, HeldToBruteForceOnSmallRandomInstances) {
  std::mt19937 random(20261209);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(random);
  };
  int exact_area = 0, exact_values = 0;
  for (int round = 0; round < 400; ++round) {
    brute_force b;
    b.L = uniform(1, 5);
    b.W = uniform(1, 4);
    b.rotation = uniform(0, 1) == 1;
    const bool area_values = uniform(0, 1) == 1;
    std::vector<placed_defect> defects;
    for (int d = uniform(0, 2); d > 0; --d) {
      const int x = uniform(-1, b.L - 1), y = uniform(-1, b.W - 1);
      defects.push_back({x, y, x + uniform(1, 2), y + uniform(1, 3)});
    }
    for (int t = uniform(1, 4); t > 0; --t) {
      b.items.push_back(rectangle::of(uniform(1, 4), uniform(1, 3)));
      b.values.push_back(area_values ? b.items.back().area : uniform(0, 9));
      b.copies.push_back(uniform(1, 3));
    }
    bound_input in;
    in.object = rectangle::of(b.L, b.W);
    in.items = b.items;
    in.defects = defects;
    in.values = b.values;
    in.copies = b.copies;
    in.rotation = b.rotation;
    const instance_bounds r = compute_bounds(in);
    SCOPED_TRACE("round " + std::to_string(round));

    int cells = 0;  // usable cells, counted one by one
    b.taken.assign(static_cast<std::size_t>(b.L * b.W), 0);
    b.solve(defects);
    for (char c : b.taken) cells += c == 0;
    EXPECT_EQ(r.usable_area, cells);
    EXPECT_EQ(r.object_area, b.L * b.W);

    const int64_t optimum = b.solve(defects);
    EXPECT_LE(optimum, r.best);
    EXPECT_LE(optimum, r.knapsack.value);
    bool all_area = true;
    for (std::size_t t = 0; t < b.items.size(); ++t) all_area &= b.values[t] == b.items[t].area;
    EXPECT_EQ(r.value_is_area, all_area);

    // Each type alone: no more copies than copies_that_fit says.
    for (std::size_t t = 0; t < b.items.size(); ++t) {
      brute_force alone = b;
      alone.items = {b.items[t]};
      alone.values = {1};
      alone.copies = {b.copies[t]};
      EXPECT_LE(alone.solve(defects), r.copies_that_fit[t]) << "item type " << t;
      EXPECT_LE(r.copies_that_fit[t], b.copies[t]);
    }

    ASSERT_TRUE(r.knapsack.exact);  // the default budget holds these
    EXPECT_EQ(r.knapsack.value,
              knapsack_by_counts(b.items, b.values, r.copies_that_fit, r.usable_area));
    EXPECT_LE(r.knapsack.value, r.relaxation);
    EXPECT_LE(r.relaxation, r.copies_value);
    EXPECT_EQ(r.best, std::min({r.knapsack.value, r.copies_value,
                                r.value_is_area ? r.usable_area : r.copies_value}));
    (r.value_is_area ? exact_area : exact_values) += 1;
  }
  EXPECT_GT(exact_area, 100);
  EXPECT_GT(exact_values, 100);
}

// The bitset's shifts cross words at every offset: held to a plain
// vector<bool> subset sum on capacities of a few thousand.
TEST(Bounds, SubsetSumMatchesPlainDynamicProgramming) {
  std::mt19937 random(7);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(random);
  };
  for (int round = 0; round < 150; ++round) {
    const int L = uniform(40, 130), W = uniform(30, 90);
    std::vector<rectangle> items;
    std::vector<int64_t> copies;
    for (int t = uniform(1, 12); t > 0; --t) {
      items.push_back(rectangle::of(uniform(1, L), uniform(1, W)));
      copies.push_back(uniform(1, 6));
    }
    std::vector<placed_defect> defects;
    if (uniform(0, 1)) defects.push_back({3, 2, 3 + uniform(1, 20), 2 + uniform(1, 20)});
    bound_input in;
    in.object = rectangle::of(L, W);
    in.items = items;
    in.defects = defects;
    in.copies = copies;
    const instance_bounds r = compute_bounds(in);
    std::vector<bool> reach(static_cast<std::size_t>(r.usable_area) + 1, false);
    reach[0] = true;
    for (std::size_t t = 0; t < items.size(); ++t)
      for (int64_t k = 0; k < r.copies_that_fit[t]; ++k)
        for (int64_t j = r.usable_area; j >= items[t].area; --j)
          if (reach[static_cast<std::size_t>(j - items[t].area)])
            reach[static_cast<std::size_t>(j)] = true;
    int64_t best = r.usable_area;
    while (!reach[static_cast<std::size_t>(best)]) --best;
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_EQ(r.knapsack.value, best);
    EXPECT_TRUE(r.knapsack.exact);
    EXPECT_EQ(r.best, best);
  }
}

TEST(Bounds, BeyondTheBudgetTheRelaxationSaysSo) {
  // Areas 6 (3 copies) and 10 (2) in 7 x 5 = 35: of the sums 6a + 10b the
  // best at most 35 is 32.
  const std::vector<rectangle> items = {rectangle::of(3, 2), rectangle::of(5, 2)};
  const std::vector<int64_t> copies = {3, 2};
  bound_input in;
  in.object = rectangle::of(7, 5);
  in.items = items;
  in.copies = copies;
  instance_bounds r = compute_bounds(in);
  EXPECT_EQ(r.knapsack.method, knapsack_method::subset_sum);
  EXPECT_EQ(r.knapsack.value, 32);
  EXPECT_EQ(r.best_name, "knapsack");
  EXPECT_EQ(r.relaxation, 34);     // 35 rounded down to the areas' common divisor
  in.budget.subset_sum_bits = 10;  // 35 / 2 + 1 = 18 bits needed
  r = compute_bounds(in);
  EXPECT_FALSE(r.knapsack.exact);
  EXPECT_EQ(r.knapsack.method, knapsack_method::linear_relaxation);
  EXPECT_EQ(method_name(r.knapsack.method), "linear_relaxation");
  EXPECT_EQ(r.knapsack.value, 34);
  EXPECT_NE(r.knapsack.note.find("18 bits"), std::string::npos) << r.knapsack.note;
  EXPECT_EQ(r.best_name, "linear_relaxation");
  in.budget = {};
  in.budget.subset_sum_words = 1;
  EXPECT_FALSE(compute_bounds(in).knapsack.exact);

  // Values: the relaxation takes the best ratio first, then a share.
  // In units of area 2: weights 3 and 5, capacity 17.
  const std::vector<int64_t> values = {12, 10};
  in.budget = {};
  in.values = values;
  r = compute_bounds(in);
  EXPECT_EQ(r.knapsack.method, knapsack_method::dynamic_programming);
  EXPECT_EQ(r.knapsack.value, 46);  // 3 x 12 + 10, weight 14
  EXPECT_EQ(r.relaxation, 52);      // 36, then 8 of the second's 10 units: 16
  EXPECT_EQ(r.copies_value, 56);
  EXPECT_EQ(r.best, 46);
  EXPECT_FALSE(r.value_is_area);
  in.budget.table_cells = 5;
  r = compute_bounds(in);
  EXPECT_FALSE(r.knapsack.exact);
  EXPECT_EQ(r.knapsack.value, r.relaxation);
  EXPECT_NE(r.knapsack.note.find("cells"), std::string::npos);
  EXPECT_EQ(r.best, 52);
}

TEST(Bounds, CopiesThatFitAndWhatCannotFit) {
  // 10 x 4 less a 2 x 4 defect: usable 32.
  const std::vector<placed_defect> defects = {{4, 0, 6, 4}};
  const std::vector<rectangle> items = {rectangle::of(3, 2), rectangle::of(2, 3),
                                        rectangle::of(5, 5), rectangle::of(2, 2)};
  bound_input in;
  in.object = rectangle::of(10, 4);
  in.items = items;
  in.defects = defects;
  in.copies_each = -1;  // unlimited
  instance_bounds r = compute_bounds(in);
  EXPECT_EQ(r.usable_area, 32);
  // 3 x 2: grid 3 x 2 = 6, area 32 / 6 = 5; 2 x 3: grid 5 x 1 = 5; 5 x 5
  // fits neither way; 2 x 2: grid 10, area 8.
  EXPECT_EQ(r.copies_that_fit, (std::vector<int64_t>{5, 5, 0, 8}));
  in.rotation = true;
  r = compute_bounds(in);
  EXPECT_EQ(r.copies_that_fit, (std::vector<int64_t>{5, 5, 0, 8}));
  in.copies_each = 2;
  r = compute_bounds(in);
  EXPECT_EQ(r.copies_that_fit, (std::vector<int64_t>{2, 2, 0, 2}));
  EXPECT_EQ(r.knapsack.method, knapsack_method::all_fit);  // 12 + 12 + 8 = 32
  EXPECT_EQ(r.best, 32);

  // Nothing at all: no item types, an object covered whole.
  in.items = {};
  r = compute_bounds(in);
  EXPECT_EQ(r.best, 0);
  EXPECT_TRUE(r.knapsack.exact);
  const std::vector<placed_defect> all = {{-5, -5, 50, 50}};
  in.items = items;
  in.defects = all;
  r = compute_bounds(in);
  EXPECT_EQ(r.usable_area, 0);
  EXPECT_EQ(r.best, 0);
  EXPECT_EQ(r.copies_that_fit, (std::vector<int64_t>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace sheetkit
