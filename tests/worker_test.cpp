#include "worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace sheetgen {
namespace {

struct log {
  std::vector<int> jobs;
  std::thread::id thread;
  int next = 0;
};

void record(void* context) {
  auto& l = *static_cast<log*>(context);
  // Slow enough that a caller not waiting for it would see it unfinished.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  l.jobs.push_back(l.next++);
  l.thread = std::this_thread::get_id();
}

TEST(Worker, JobsRunOneAfterTheOtherOnTheirOwnThread) {
  log l;
  {
    worker w;
    for (int i = 0; i < 3; ++i) {
      w.start(&record, &l);
      w.finish();
      EXPECT_EQ(l.jobs.size(), static_cast<std::size_t>(i + 1));
    }
    EXPECT_NE(l.thread, std::this_thread::get_id());
    w.start(&record, &l);  // unfinished when the worker goes
  }
  EXPECT_EQ(l.jobs, (std::vector<int>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace sheetgen
