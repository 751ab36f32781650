// `sheetkit solution check` and `solution draw` on the command line: where
// the solutions come from, the rules they are held to, set up for the
// command table.
#ifndef SHEETKIT_SOLUTION_COMMAND_H_
#define SHEETKIT_SOLUTION_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/command.h"

namespace sheetkit {

/// `solution check`: the run, the solutions, the rules; see command::setup.
std::function<prepared()> setup_solution_check(CLI::App& check);
/// `solution draw -o DIR`: the same, and a picture per chosen instance.
std::function<prepared()> setup_solution_draw(CLI::App& draw);

/// The help text after solution's options.
extern const char* const solution_footer;

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_COMMAND_H_
