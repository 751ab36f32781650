/// \file
/// The whole program once: banner, dialogue, generation, files, closing prompt.
#ifndef SHEETGEN_RUN_H_
#define SHEETGEN_RUN_H_

#include <sheetgen/progress.h>

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string_view>

namespace sheetgen {

/// Runs sheetgen once, reading the answers from `in` and writing the console
/// text to `out`; file names are taken relative to `folder`. After a bad
/// answer or a failure, prints its message, reads one more answer and
/// returns 1; after a completed run, returns 0. Never throws.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder);

/// The same, telling `progress` how generation goes: the passes "items"
/// and "defects", and their end (however it ends) before anything more is
/// printed.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress);

/// Told, after a failure's message is printed, what the console's message
/// cannot say: which answer was refused ("standard input:LINE: QUESTION:
/// MESSAGE") or why a file could not be written ("FILE: cannot be
/// written: REASON"). Not told for other failures, whose message says all.
using reason_callback = std::function<void(std::string_view)>;

/// The same, telling `reason` the one line that a failure's message cannot
/// say; the console text stays exactly as run() prints it.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress, const reason_callback& reason);

/// run() on the process's standard input and output in the current folder,
/// as the program does it. When memory is so short that even the error
/// cannot be raised, prints "Not enough memory!", reads one more answer and
/// ends the process with status 1.
int run_program();

/// The same, telling `progress` how generation goes.
int run_program(const progress_callback& progress);

/// The same, telling `reason` what a failure's message cannot say.
int run_program(const progress_callback& progress, const reason_callback& reason);

}  // namespace sheetgen

#endif  // SHEETGEN_RUN_H_
