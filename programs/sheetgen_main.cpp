#include <sheetgen/run.h>

#include <iostream>
#include <optional>
#include <string_view>

#include "arguments.h"
#include "progress/progress_line.h"

int main(int argc, char** argv) {
  const std::optional<int> answered = sheetgen::answer_arguments(argc, argv, std::cout, std::cerr);
  if (answered) return *answered;
  // The prompts on standard output end without a line break; when they
  // share the terminal, the progress line goes below the last one.
  sheetgen::progress_line line(std::cerr, sheetgen::stderr_is_terminal(),
                               sheetgen::stdout_is_terminal());
  const bool after_prompt = sheetgen::stdout_is_terminal();
  return sheetgen::run_program(
      [&line](const sheetgen::pass_progress& p) { line.show(p); },
      [&](std::string_view why) {
        // The console's message has no line break
        // of its own where both share a terminal.
        line.clear();
        std::cerr << (after_prompt ? "\n" : "") << "sheetgen: " << why << '\n' << std::flush;
      });
}
