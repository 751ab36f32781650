#include "suites/suite_work.h"

#include <sheetgen/run_passes.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <thread>

namespace sheetkit {

void parallel_for(std::size_t count, int jobs, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  // The failure of the lowest index, whichever thread met one first: every
  // lower index was taken before it and runs to its end, so the error told
  // is the first in order for every number of jobs.
  std::exception_ptr first;
  std::size_t first_index = count;
  std::mutex first_lock;
  const auto worker = [&] {
    for (std::size_t i = next++; i < count && !failed; i = next++) {
      try {
        work(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(first_lock);
        if (!first || i < first_index) {
          first = std::current_exception();
          first_index = i;
        }
        failed = true;
      }
    }
  };
  const std::size_t threads = std::min(count, static_cast<std::size_t>(std::max(jobs, 1)));
  if (threads <= 1) {
    worker();
  } else {
    std::vector<std::jthread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
  }
  if (first) std::rethrow_exception(first);
}

std::vector<std::pair<int32_t, bool>> decide_seeds(const suite_class& c, int jobs,
                                                   const std::function<bool(int32_t)>& completes) {
  std::vector<std::pair<int32_t, bool>> decided;
  int64_t complete = 0;
  int64_t aborts = 0;
  int64_t seed = c.first;
  const int64_t batch = std::max(jobs, 1);
  while (complete < c.count) {
    const int64_t last = std::min<int64_t>(seed + batch - 1, std::numeric_limits<int32_t>::max());
    if (seed > last) {
      throw sheetgen::error("class \"" + c.name + "\": the seeds pass 2147483647 with " +
                            std::to_string(complete) + " of " + std::to_string(c.count) +
                            " runs complete");
    }
    std::vector<char> outcome(static_cast<std::size_t>(last - seed + 1));
    parallel_for(outcome.size(), jobs, [&](std::size_t i) {
      outcome[i] = completes(static_cast<int32_t>(seed + static_cast<int64_t>(i)));
    });
    for (std::size_t i = 0; i < outcome.size() && complete < c.count; ++i) {
      const int32_t s = static_cast<int32_t>(seed + static_cast<int64_t>(i));
      decided.emplace_back(s, outcome[i] != 0);
      aborts = outcome[i] ? 0 : aborts + 1;
      complete += outcome[i] ? 1 : 0;
      if (aborts == max_aborts_in_a_row) {
        throw sheetgen::error(
            "class \"" + c.name + "\": the runs of " + std::to_string(max_aborts_in_a_row) +
            " seeds in a row, " + std::to_string(s - max_aborts_in_a_row + 1) + " to " +
            std::to_string(s) + ", end in the repair abort; widen the bounds or change the object");
      }
    }
    seed = last + 1;
  }
  return decided;
}

bool ends_in_repair_abort(const sheetgen::run_parameters& p,
                          const sheetgen::progress_callback& progress) {
  sheetgen::run_passes passes(p, progress);
  try {
    passes.items([](int32_t, std::span<const sheetgen::rectangle>) { return true; });
  } catch (const sheetgen::error&) {
    return true;  // the only failure of the item pass
  }
  return false;
}

suite_progress::suite_progress(sheetgen::progress_callback shown, int64_t total, std::string pass)
    : shown_(std::move(shown)), total_(total), pass_(std::move(pass)) {}

sheetgen::progress_callback suite_progress::for_run() {
  // What this run has reported so far, to add only what is new.
  struct seen {
    std::string pass;
    int64_t done = 0;
    int64_t units = 0;
  };
  return [this, last = std::make_shared<seen>()](const sheetgen::pass_progress& p) {
    if (p.pass.empty()) return;  // one run ends, not the suite's work
    if (p.pass != last->pass) *last = {std::string(p.pass), 0, 0};
    // Instances count once, in the item pass; lines in both.
    add(p.pass == "items" ? p.done - last->done : 0, p.units - last->units);
    last->done = p.done;
    last->units = p.units;
  };
}

void suite_progress::add(int64_t instances, int64_t lines) {
  if (!shown_) return;
  const std::lock_guard<std::mutex> hold(lock_);
  done_ += instances;
  lines_ += lines;
  shown_({pass_, done_, total_, lines_, "lines"});
}

void suite_progress::print(std::ostream& out, std::string_view text) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (shown_) shown_({});
  out << text << std::flush;
}

void suite_progress::end() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (shown_) shown_({});
}

sheetgen::progress_callback as_item_pass(const sheetgen::progress_callback& progress) {
  return [progress](const sheetgen::pass_progress& p) {
    if (!progress) return;
    sheetgen::pass_progress item = p;
    if (!p.pass.empty()) item.pass = "items";
    progress(item);
  };
}

}  // namespace sheetkit
