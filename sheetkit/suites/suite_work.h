// How make and verify work through a suite's sets: several at a time in
// threads, the seeds of a class with "complete" decided in order, and one
// progress line for all of them.
#ifndef SHEETKIT_SUITE_WORK_H_
#define SHEETKIT_SUITE_WORK_H_

#include <sheetgen/progress.h>
#include <sheetgen/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "suites/suite_definition.h"

namespace sheetkit {

// Calls work(i) for every i below `count` on up to `jobs` threads, which
// take the i in order as they come free. After an exception no new i
// starts; the one of the lowest i is rethrown once every thread has
// stopped, the same for every number of jobs.
void parallel_for(std::size_t count, int jobs, const std::function<void(std::size_t)>& work);

// Most seeds in a row whose runs abort before a class with "complete" is
// given up: bounds that no run meets would otherwise try seeds for ever.
constexpr int64_t max_aborts_in_a_row = 1000;

// The seeds of class `c` (one with "complete"), from c.first on, each with
// whether its run completes, up to the c.count-th that does. `completes`
// is asked about `jobs` seeds at a time, in threads; those past the last
// one needed are dropped. Throws sheetgen::error after max_aborts_in_a_row
// aborts in a row, or when the seeds would pass 2147483647.
std::vector<std::pair<int32_t, bool>> decide_seeds(const suite_class& c, int jobs,
                                                   const std::function<bool(int32_t)>& completes);

// `progress` with every named pass called "items": a family set's
// instances count as a dialogue run's do, in an item pass.
sheetgen::progress_callback as_item_pass(const sheetgen::progress_callback& progress);

// Whether the run ends in the repair abort: its items generated in memory,
// nothing written.
bool ends_in_repair_abort(const sheetgen::run_parameters& p,
                          const sheetgen::progress_callback& progress = {});

// One progress line for many runs in many threads: pass `pass` ("sets"
// unless said), the instances of all runs done of `total`, the lines of all
// files.
class suite_progress {
 public:
  suite_progress(sheetgen::progress_callback shown, int64_t total, std::string pass = "sets");

  // What one run reports to; for one run at a time.
  sheetgen::progress_callback for_run();
  // Writes `text` to `out` with the line out of the way, between reports.
  void print(std::ostream& out, std::string_view text);
  // The line goes for good.
  void end();

 private:
  void add(int64_t instances, int64_t lines);

  std::mutex lock_;
  sheetgen::progress_callback shown_;
  int64_t total_;
  std::string pass_;
  int64_t done_ = 0;
  int64_t lines_ = 0;
};

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_WORK_H_
