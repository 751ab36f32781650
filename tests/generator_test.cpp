#include <gtest/gtest.h>
#include <sheetgen/generator.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::worked::parameters;

std::vector<placed_defect> all_defects(defect_placer d) {
  std::vector<placed_defect> out;
  while (d.next()) out.insert(out.end(), d.defects().begin(), d.defects().end());
  return out;
}

TEST(Generator, WorkedExampleInMemory) {
  item_generator items(parameters());
  std::vector<placed_defect> defects;
  for (const auto& expected : testing::worked::item_blocks()) {
    ASSERT_TRUE(items.next());
    EXPECT_EQ(std::vector<rectangle>(items.items().begin(), items.items().end()), expected);
  }
  for (const auto& block : testing::worked::defect_blocks())
    defects.insert(defects.end(), block.begin(), block.end());
  EXPECT_FALSE(items.next());
  EXPECT_EQ(items.instances_done(), 2);
  EXPECT_EQ(all_defects(std::move(items).defects()), defects);
}

TEST(Generator, DefectsFromAnUnfinishedItemPassComeAfterAllItems) {
  item_generator skipped(parameters());
  item_generator one(parameters());
  ASSERT_TRUE(one.next());
  const auto expected = all_defects(std::move(skipped).defects());
  EXPECT_EQ(all_defects(std::move(one).defects()), expected);
  EXPECT_EQ(expected.size(), 4u);
}

// A copy goes on by itself, from where the original stood.
TEST(Generator, CopiedDefectPlacersGoOnAlone) {
  defect_placer start = item_generator(parameters()).defects();
  const auto expected = all_defects(start);  // a copy: `start` stays before instance 1
  ASSERT_TRUE(start.next());
  const defect_placer later(start);
  ASSERT_TRUE(start.next());
  EXPECT_FALSE(start.next());
  EXPECT_EQ(std::vector<placed_defect>(later.defects().begin(), later.defects().end()),
            std::vector<placed_defect>(expected.begin(), expected.begin() + 2));
  EXPECT_EQ(all_defects(later), std::vector<placed_defect>(expected.begin() + 2, expected.end()));
}

TEST(Generator, RefusesWhatTheDialogueRefusesAndStopsAtARepairFailure) {
  run_parameters p = parameters();
  p.defects[1].length = 11;
  try {
    item_generator refused(p);
    FAIL();
  } catch (const error& e) {
    EXPECT_STREQ(e.what(), "This defect does not fit onto the large object!");
  }
  // Equal bounds whose product is no integer: no item can be made.
  p = parameters();
  p.minrelsize = p.maxrelsize = 0.3f;
  item_generator items(p);
  EXPECT_THROW(items.next(), error);
  EXPECT_FALSE(items.next());
  EXPECT_THROW(std::move(items).defects(), error);
}

}  // namespace
}  // namespace sheetgen
