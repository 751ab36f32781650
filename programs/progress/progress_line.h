// A progress line for long runs, on standard error, rewritten in place:
//   items: 57 / 200 instances (28%), 41.2 million items/s, 0:03 left
// It shows only on a terminal and only once a run has taken a second, so
// that scripts, logs and short runs see nothing; standard output and the
// files never change.
//
// Kept out of libsheetgen: telling a terminal needs the platform's isatty.
#ifndef SHEETGEN_PROGRAMS_PROGRESS_LINE_H_
#define SHEETGEN_PROGRAMS_PROGRESS_LINE_H_

#include <sheetgen/progress.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace sheetgen {

// Whether standard output / standard error is a terminal.
bool stdout_is_terminal();
bool stderr_is_terminal();

class progress_line {
 public:
  using clock = std::chrono::steady_clock;
  using now_function = std::function<clock::time_point()>;

  // Draws on `out` when `terminal`, else does nothing at all. `after_prompt`:
  // the cursor may stand after a prompt that has no line break, so the line
  // starts on a line of its own below it. `now` is for tests, which must not
  // depend on how fast the machine is.
  progress_line(std::ostream& out, bool terminal, bool after_prompt, now_function now = clock::now);
  ~progress_line();
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;

  // Takes a report: a pass starts (done 0), goes on, or the work ends
  // (empty pass: the line goes). Cheap when nothing is drawn; draws at most
  // four times a second.
  void show(const pass_progress& p);

  // Erases what the line drew, if anything, before other text is written.
  void clear();

 private:
  void draw(const pass_progress& p, clock::time_point t);

  std::ostream& out_;
  bool terminal_;
  bool after_prompt_;
  now_function now_;
  bool started_ = false;
  clock::time_point run_start_{};
  clock::time_point pass_start_{};
  clock::time_point last_drawn_{};
  std::string pass_;             // the pass under way
  std::size_t drawn_width_ = 0;  // 0: nothing on the line
  bool own_line_ = false;        // the line break after the prompt is written
};

}  // namespace sheetgen

#endif  // SHEETGEN_PROGRAMS_PROGRESS_LINE_H_
