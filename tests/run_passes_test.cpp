#include <gtest/gtest.h>
#include <sheetgen/generator.h>
#include <sheetgen/run_passes.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

// The worked example's answers.
run_parameters worked_example() {
  return testing::make(2, 10, 10, 4, "0.1", "0.2", 19, {{3, 2}, {10, 1}}).parameters();
}

// Every report, as "pass done/total units unit"; the end as "end".
struct report_log {
  std::vector<std::string> lines;
  progress_callback callback() {
    return [this](const pass_progress& p) {
      lines.push_back(p.pass.empty() ? "end"
                                     : std::string(p.pass) + " " + std::to_string(p.done) + "/" +
                                           std::to_string(p.total) + " " + std::to_string(p.units) +
                                           " " + std::string(p.unit));
    };
  }
};

TEST(RunPasses, VisitsWhatTheGeneratorMakesInOrderAndReportsEachPass) {
  item_generator reference(worked_example());
  std::vector<rectangle> expected_items;
  while (reference.next()) {
    expected_items.insert(expected_items.end(), reference.items().begin(), reference.items().end());
  }
  defect_placer reference_defects = std::move(reference).defects();
  std::vector<placed_defect> expected_defects;
  while (reference_defects.next()) {
    expected_defects.insert(expected_defects.end(), reference_defects.defects().begin(),
                            reference_defects.defects().end());
  }

  report_log log;
  std::vector<rectangle> items;
  std::vector<placed_defect> defects;
  std::vector<int32_t> numbers;
  {
    run_passes passes(worked_example(), log.callback());
    EXPECT_EQ(passes.parameters().minarea, 10);  // the bounds are derived
    passes.items([&](int32_t n, std::span<const rectangle> block) {
      numbers.push_back(n);
      items.insert(items.end(), block.begin(), block.end());
      return true;
    });
    passes.defects([&](int32_t n, std::span<const placed_defect> block) {
      numbers.push_back(n);
      defects.insert(defects.end(), block.begin(), block.end());
      return true;
    });
    EXPECT_THROW(passes.defects({}), std::logic_error);
  }
  EXPECT_EQ(items, expected_items);
  EXPECT_EQ(defects, expected_defects);
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 1, 2}));
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"items 0/2 0 items", "items 1/2 4 items", "items 2/2 8 items",
                                      "defects 0/2 0 defects", "defects 1/2 2 defects",
                                      "defects 2/2 4 defects", "end"}));
}

TEST(RunPasses, DefectsAfterAnItemPassEndedEarlyFollowAllItems) {
  std::vector<placed_defect> full, stopped;
  const auto collect = [](std::vector<placed_defect>& into) {
    return [&into](int32_t, std::span<const placed_defect> block) {
      into.insert(into.end(), block.begin(), block.end());
      return true;
    };
  };
  {
    run_passes passes(worked_example());
    passes.defects(collect(full));
  }
  run_passes passes(worked_example());
  int visited = 0;
  passes.items([&](int32_t, std::span<const rectangle>) { return ++visited < 1; });
  EXPECT_EQ(visited, 1);
  passes.defects(collect(stopped));
  EXPECT_EQ(stopped, full);
  EXPECT_EQ(full.size(), 4u);
}

TEST(RunPasses, RepairFailureEndsTheRunAfterTheFinishedBlocks) {
  // tests/data/repair_abort.answers: the item of instance 3 cannot be made.
  run_parameters p = testing::make(50, 100, 50, 1, "0.015", "0.015", 36, {{2, 2}}).parameters();
  report_log log;
  run_passes passes(p, log.callback());
  int32_t visited = 0;
  EXPECT_THROW(passes.items([&](int32_t n, std::span<const rectangle>) {
    visited = n;
    return true;
  }),
               error);
  EXPECT_EQ(visited, 2);
  EXPECT_THROW(passes.finish_items(), error);
  EXPECT_EQ(log.lines.back(), "items 2/50 2 items");
}

}  // namespace
}  // namespace sheetgen
