// A progress line for long runs: "instances 12 / 200, 23.4 million items/s"
// on standard error, rewritten in place. It shows only on a terminal and
// only once a run has taken a second, so that scripts, logs and short runs
// see nothing; standard output and the files never change.
//
// Kept out of libsheetgen: telling a terminal needs the platform's isatty.
#ifndef SHEETGEN_PROGRESS_H_
#define SHEETGEN_PROGRESS_H_

#include <sheetgen/run.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace sheetgen {

// Whether standard error is a terminal (and so may show a progress line).
bool stderr_is_terminal();

class progress_line {
 public:
  using clock = std::chrono::steady_clock;
  using now_function = std::function<clock::time_point()>;

  // Draws on `out` when `terminal`, else does nothing at all. `now` is for
  // tests, which must not depend on how fast the machine is.
  progress_line(std::ostream& out, bool terminal, now_function now = clock::now);
  ~progress_line();
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;

  // A pass over `total` instances (0: not known) starts; `unit` names what
  // is counted per second ("items", "defects"). The first start begins the
  // second the line waits for.
  void start(int64_t total, std::string unit);

  // After each instance: instances and units done in this pass. Cheap when
  // nothing is drawn; draws at most four times a second.
  void update(int64_t instances, int64_t units);

  // Erases the line, if drawn, before anything else is written.
  void clear();

 private:
  void draw(int64_t instances, int64_t units, clock::time_point t);

  std::ostream& out_;
  bool terminal_;
  now_function now_;
  bool started_ = false;
  clock::time_point run_start_{};
  clock::time_point pass_start_{};
  clock::time_point last_drawn_{};
  int64_t total_ = 0;
  std::string unit_;
  std::size_t drawn_width_ = 0;  // 0: nothing on the line
};

// What sheetgen's run reports, shown on `line`.
progress_callback show_run_progress(progress_line& line);

}  // namespace sheetgen

#endif  // SHEETGEN_PROGRESS_H_
