// `sheetkit suite make`, `suite verify` and `suite report` on the command
// line: their options, set up for the command table.
#ifndef SHEETKIT_SUITE_COMMAND_H_
#define SHEETKIT_SUITE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/command.h"

namespace sheetkit {

// `suite make SUITE_FILE -o DIR` and `suite verify DIR`, with -j and --shard; see
// command::setup.
std::function<prepared()> setup_suite_make(CLI::App& make);
std::function<prepared()> setup_suite_verify(CLI::App& verify);
// `suite export DIR --to FORMAT -o OUT`, with -j and --shard.
std::function<prepared()> setup_suite_export(CLI::App& command);
// `suite results DIR OUT [--format F] [-o FILE]`, with -j and the guillotine rules.
std::function<prepared()> setup_suite_results(CLI::App& command);
// `suite report DIR [-o FILE]`.
std::function<prepared()> setup_suite_report(CLI::App& report);

// The help text after suite's options.
extern const char* const suite_footer;

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_COMMAND_H_
