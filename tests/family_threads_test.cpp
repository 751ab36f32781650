// A family run serves many threads at once: the instances made in
// parallel are those made one after the other.
#include <gtest/gtest.h>
#include <sheetgen/families.h>

#include <thread>
#include <vector>

namespace sheetgen {
namespace {

TEST(FamilyThreads, InstancesMadeInParallelAreTheSame) {
  family_settings s;
  s.family = "knapsack";
  s.parameters = {{"type", "3"}, {"items", "300"}};
  s.defects = "separate";
  s.defect_parameters = {{"count", "6"}};
  s.instances = 64;
  const family_run run(s);
  std::vector<family_instance> serial(64), parallel(64);
  for (int32_t n = 1; n <= 64; ++n) run.make(n, serial[n - 1]);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int32_t n = 64 - t; n >= 1; n -= 4) run.make(n, parallel[n - 1]);
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t k = 0; k < serial.size(); ++k) {
    EXPECT_EQ(serial[k].items, parallel[k].items) << k;
    EXPECT_EQ(serial[k].values, parallel[k].values) << k;
    EXPECT_EQ(serial[k].defects, parallel[k].defects) << k;
  }
}

}  // namespace
}  // namespace sheetgen
