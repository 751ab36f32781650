#include "items.h"

#include <gtest/gtest.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/parameters.h>

#include <string>
#include <utility>
#include <vector>

#include "random.h"
#include "reference_items.h"
#include "rounding.h"
#include "test_util.h"

namespace sheetgen {
namespace {

using testing::line;
using testing::scratch_folder;

run_parameters bounds_for(int32_t length, int32_t width, float minrel, float maxrel) {
  run_parameters p;
  p.object = rectangle::of(length, width);
  p.minrelsize = minrel;
  p.maxrelsize = maxrel;
  derive_area_bounds(p);
  return p;
}

TEST(AreaBounds, SinglePrecisionProducts) {
  // 1e6 * 0.001f lies just above 1000 in single precision.
  EXPECT_EQ(bounds_for(1000, 1000, 0.001f, 0.5f).minarea, 1001);
  // 1e4 * 0.07f lies just below 700 and rounds to it.
  EXPECT_EQ(bounds_for(100, 100, 0.07f, 0.5f).minarea, 700);
  const run_parameters tight = bounds_for(10, 10, 0.3f, 0.3f);
  EXPECT_EQ(tight.minarea, 31);
  EXPECT_EQ(tight.maxarea, 30);
  const run_parameters equal = bounds_for(100, 50, 0.015f, 0.015f);
  EXPECT_EQ(equal.minarea, 75);
  EXPECT_EQ(equal.maxarea, 75);
  const run_parameters worked = bounds_for(10, 10, 0.1f, 0.2f);
  EXPECT_EQ(worked.minarea, testing::worked::minarea);
  EXPECT_EQ(worked.maxarea, testing::worked::maxarea);
}

TEST(RoundHalfAway, HalvesAndNeighbours) {
  EXPECT_EQ(round_half_away(2.5), 3);
  EXPECT_EQ(round_half_away(3.5), 4);
  EXPECT_EQ(round_half_away(-2.5), -3);
  EXPECT_EQ(round_half_away(2.4999999999999996), 2);
  EXPECT_EQ(round_half_away(0.49999999999999994), 0);
  EXPECT_EQ(round_half_away(4503599627370495.5), 4503599627370496);
  EXPECT_EQ(round_half_away(0.0), 0);
}

rectangle items[MAXMOD];

// Generates one instance into `items` and returns its block's text.
std::string one_instance(run_parameters& p, int32_t items_per_instance, random_generator& g) {
  p.no_items = items_per_instance;
  generate_items(p, g, items);
  const auto n = static_cast<std::size_t>(std::max(items_per_instance, 0));
  std::string block(n * item_line_room + 1, '\0');
  block.resize(static_cast<std::size_t>(put_item_block({items, n}, block.data()) - block.data()));
  return block;
}

int32_t state_after(int32_t seed, int draws) {
  random_generator g(seed);
  for (int i = 0; i < draws; ++i) g.uniform_random();
  return g.state();
}

TEST(GenerateItems, WorkedExampleWithItsRepairs) {
  random_generator g;
  run_parameters p = testing::worked::parameters();
  g = random_generator(testing::worked::seed);
  g.uniform_random();
  EXPECT_EQ(one_instance(p, 4, g), testing::worked::item_lines(0) + "\n");
  EXPECT_EQ(one_instance(p, 4, g), testing::worked::item_lines(1) + "\n");
  // Sixteen draws for eight items, three for the repair passes, one discarded.
  EXPECT_EQ(g.state(), state_after(19, 20));
}

TEST(GenerateItems, ItemsWithoutRepairTakeTwoDrawsEach) {
  random_generator g;
  run_parameters p = bounds_for(1000, 1000, 0.01f, 0.5f);
  g = random_generator(5);
  const std::string block = one_instance(p, 100, g);
  EXPECT_EQ(g.state(), state_after(5, 200));  // wide bounds: no repair
  for (int32_t i = 0; i < 100; ++i) {
    EXPECT_EQ(int64_t{items[i].length} * items[i].width, items[i].area);
    EXPECT_GE(items[i].area, p.minarea);
    EXPECT_LE(items[i].area, p.maxarea);
  }
}

TEST(GenerateItems, EmptyBoundsAbortOnTheFirstItemAndWriteNothing) {
  random_generator g;
  run_parameters p = bounds_for(10, 10, 0.3f, 0.3f);
  g = random_generator(12);
  p.no_items = 3;
  try {
    generate_items(p, g, items);
    FAIL() << "no item can have an area of at least 31 and at most 30";
  } catch (const error& e) {
    EXPECT_STREQ(
        e.what(),
        " Determination of integer length or width of the small items failed. Please check "
        "the chosen bounds for the relative size as well as the size of the large object!");
  }
}

TEST(GenerateItems, NoItemsGiveAnEmptyLine) {
  random_generator g;
  run_parameters p = bounds_for(10, 10, 0.1f, 0.2f);
  g = random_generator(3);
  EXPECT_EQ(one_instance(p, 0, g), "\n");
  EXPECT_EQ(one_instance(p, -5, g), "\n");
  EXPECT_EQ(g.state(), 3);
}

TEST(GenerateItems, TightBoundsKeepEveryAreaExact) {
  random_generator g;
  // Equal bounds with an integer product: every item written has that area.
  run_parameters p = bounds_for(100, 50, 0.015f, 0.015f);
  int written = 0;
  for (int32_t seed = 1; seed <= 200; ++seed) {
    g = random_generator(seed);
    try {
      one_instance(p, 1, g);
      EXPECT_EQ(items[0].area, 75);
      ++written;
    } catch (const error&) {
    }
  }
  EXPECT_GT(written, 0);
}

TEST(GenerateItems, LargeValuesStayExact) {
  random_generator g;
  // Areas beyond 2^24 are written as the integers they are.
  run_parameters p = bounds_for(40000, 40000, 0.6f, 0.9f);
  g = random_generator(1);
  const std::string block = one_instance(p, 200, g);
  std::size_t pos = 0;
  for (int32_t i = 0; i < 200; ++i) {
    const std::string expected = line({items[i].length, items[i].width, items[i].area});
    ASSERT_EQ(block.compare(pos, expected.size(), expected), 0) << i;
    pos += expected.size();
    EXPECT_EQ(int64_t{items[i].length} * items[i].width, items[i].area);
    EXPECT_GT(items[i].area, 16777216);
  }
}

}  // namespace
}  // namespace sheetgen

namespace sheetgen {
namespace {

using testing::answers;
using testing::make;

// The batched path against one item after the other: same files, same
// bytes, the same place of any abort.
TEST(GenerateItems, SameBytesAsOneItemAfterTheOther) {
  random_generator g;
  answers worked;
  worked.defects = testing::worked::defect_sizes();
  std::vector<answers> runs = {
      worked,                                                   // repairs both ways
      make(3, 20000, 20000, 3000, "0.001", "0.1", 1),           // ratio clamps skipped
      make(3, 1000, 1000, 3000, "0.05", "0.5", 7, {{10, 10}}),  // clamps computed
      make(3, 100, 100, 3000, "0.01", "0.16", 3),               // some clamp, some not
      make(3, 1000, 100, 300, "0.001", "0.0166", 2),            // one clamp only
      make(3, 100, 1000, 300, "0.001", "0.0166", 2),
      make(20, 1000, 700, 400, "0.02", "0.021", 123456789, {{1, 1}}),  // frequent repairs
      make(50, 100, 50, 1, "0.015", "0.015", 36),                      // repair abort
      make(5, 77, 91, 500, "0.05", "0.1", 0, {{3, 4}}),                // every draw 0
      make(4, 60, 60, 500, "0.01", "0.3", 2147483647),                 // likewise
      make(10, 500, 300, 1000, "0.001", "0.2", -1, {{500, 1}, {1, 300}}),
      make(4, 3, 100000, 300, "0.01", "0.5", 7),                      // longer than the object
      make(4, 100000, 3, 300, "0.01", "0.5", 8),                      // wider than the object
      make(3, 40000, 40000, 300, "0.6", "0.9", 1, {{40000, 40000}}),  // beyond 2^24
      make(2, 46340, 46340, 2000, "0.0001", "0.99", -2147483647 - 1),
      make(3, 10, 10, 2000, "0.1", "0.3", 5),
  };
  for (long long seed = 1; seed <= 30; ++seed) {
    runs.push_back(make(3, 30, 20, 200, "0.02", "0.05", seed, {{5, 5}}));
  }
  for (const answers& a : runs) {
    scratch_folder fast;
    scratch_folder reference;
    const int status = testing::run_with(a.text(), fast.path()).status;
    const bool completed = reference::run(a.parameters(), reference.path());
    const std::string what = a.text();
    EXPECT_EQ(status, completed ? 0 : 1) << what;
    EXPECT_EQ(fast.read("instances.txt"), reference.read("instances.txt")) << what;
    EXPECT_EQ(fast.has("defects.txt"), reference.has("defects.txt")) << what;
    EXPECT_EQ(fast.read("defects.txt"), reference.read("defects.txt")) << what;
  }
}

}  // namespace
}  // namespace sheetgen
