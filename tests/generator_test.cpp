#include <gtest/gtest.h>
#include <sheetgen/generator.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

run_parameters worked_example() {
  testing::answers a;
  a.defects = {{3, 2}, {10, 1}};
  return a.parameters();
}

std::vector<placed_defect> all_defects(defect_placer d) {
  std::vector<placed_defect> out;
  while (d.next()) out.insert(out.end(), d.defects().begin(), d.defects().end());
  return out;
}

TEST(Generator, WorkedExampleInMemory) {
  item_generator items(worked_example());
  ASSERT_TRUE(items.next());
  EXPECT_EQ(std::vector<rectangle>(items.items().begin(), items.items().end()),
            (std::vector<rectangle>{{15, 3, 5}, {16, 2, 8}, {14, 7, 2}, {16, 8, 2}}));
  ASSERT_TRUE(items.next());
  EXPECT_EQ(items.items()[3], (rectangle{10, 2, 5}));
  EXPECT_FALSE(items.next());
  EXPECT_EQ(items.instances_done(), 2);
  EXPECT_EQ(
      all_defects(std::move(items).defects()),
      (std::vector<placed_defect>{{7, 0, 10, 2}, {0, 6, 10, 7}, {1, 0, 4, 2}, {0, 4, 10, 5}}));
}

TEST(Generator, DefectsFromAnUnfinishedItemPassComeAfterAllItems) {
  item_generator skipped(worked_example());
  item_generator one(worked_example());
  ASSERT_TRUE(one.next());
  const auto expected = all_defects(std::move(skipped).defects());
  EXPECT_EQ(all_defects(std::move(one).defects()), expected);
  EXPECT_EQ(expected.size(), 4u);
}

TEST(Generator, RefusesWhatTheDialogueRefusesAndStopsAtARepairFailure) {
  run_parameters p = worked_example();
  p.defects[1].length = 11;
  try {
    item_generator refused(p);
    FAIL();
  } catch (const error& e) {
    EXPECT_STREQ(e.what(), "This defect does not fit onto the large object!");
  }
  // Equal bounds whose product is no integer: no item can be made.
  p = worked_example();
  p.minrelsize = p.maxrelsize = 0.3f;
  item_generator items(p);
  EXPECT_THROW(items.next(), error);
  EXPECT_FALSE(items.next());
  EXPECT_THROW(std::move(items).defects(), error);
}

}  // namespace
}  // namespace sheetgen
