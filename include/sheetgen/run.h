/// \file
/// The whole program once: banner, dialogue, generation, files, closing prompt.
#ifndef SHEETGEN_RUN_H_
#define SHEETGEN_RUN_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>

namespace sheetgen {

/// Where the generation of a run stands, for a progress display.
struct run_progress {
  enum class stage { items, defects, finished };
  stage pass = stage::items;    ///< finished: generation has ended, however it ended
  int32_t instances_done = 0;   ///< in this pass
  int32_t instances_total = 0;  ///< the run's instances
  int64_t lines_done = 0;       ///< item or defect lines written in this pass
};

/// Called when each pass starts (nothing done yet), after each instance it
/// writes, and once with stage::finished when generation ends, before
/// anything else is printed. May be empty.
using progress_callback = std::function<void(const run_progress&)>;

/// Runs sheetgen once, reading the answers from `in` and writing the console
/// text to `out`; file names are taken relative to `folder`. After a bad
/// answer or a failure, prints its message, reads one more answer and
/// returns 1; after a completed run, returns 0. Never throws.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder);

/// The same, telling `progress` how generation goes.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress);

/// run() on the process's standard input and output in the current folder,
/// as the program does it. When memory is so short that even the error
/// cannot be raised, prints "Not enough memory!", reads one more answer and
/// ends the process with status 1.
int run_program();

/// The same, telling `progress` how generation goes.
int run_program(const progress_callback& progress);

}  // namespace sheetgen

#endif  // SHEETGEN_RUN_H_
