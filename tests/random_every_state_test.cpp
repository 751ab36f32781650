// The random generator's state value over all 2^31 - 1 states: minutes of
// work, so a program of its own that ctest labels slow.
#include <gtest/gtest.h>

#include <cstdint>

#include "random.h"

namespace sheetgen {
namespace {

// Every state a draw can leave, against the division it replaces.
TEST(Random, StateValueEqualsTheDivisionForEveryState) {
  int64_t mismatches = 0;
  for (int64_t s = 0; s < 2147483647; ++s) {
    const auto state = static_cast<int32_t>(s);
    mismatches += state_value(state) != static_cast<double>(state) / 2147483647.0;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace sheetgen
