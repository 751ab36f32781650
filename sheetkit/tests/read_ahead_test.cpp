#include "files/read_ahead.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::message_of;

// Reading ahead on a thread of its own: the same instances in the same
// order, an error after the instances before it, and a visitor's error
// stops the reading.
TEST(ReadAhead, ReadAheadKeepsTheOrder) {
  std::vector<instance> instances(100000);
  std::size_t before_error = 0;  // item types before the error
  for (std::size_t k = 0; k < instances.size(); ++k) {
    instances[k].number = static_cast<int64_t>(k) + 1;
    instances[k].items.assign(k % 40, rectangle::of(1, 2));
    if (k + 1 < 90000) before_error += k % 40;
  }
  int read = 0;
  const instance_pass pass = [&](const auto& visit) {
    for (const instance& in : instances) {
      ++read;
      if (in.number == 90000) throw sheetgen::error("x:90000: wrong");
      visit(in);
    }
  };
  int64_t next = 1;
  std::size_t items = 0;
  EXPECT_EQ(message_of([&] {
              read_ahead(pass)([&](const instance& in) {
                EXPECT_EQ(in.number, next++);
                items += in.items.size();
              });
            }),
            "x:90000: wrong");
  EXPECT_EQ(next, 90000);
  EXPECT_EQ(items, before_error);

  // A few batches ahead at most.
  read = 0;
  EXPECT_EQ(message_of([&] {
              read_ahead(pass)([](const instance& in) {
                if (in.number == 3) throw sheetgen::error("stop");
              });
            }),
            "stop");
  EXPECT_LT(read, 20000);
}

}  // namespace
}  // namespace sheetkit
