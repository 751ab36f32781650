// `sheetkit suite make` and `sheetkit suite verify` on the command line:
// the options of both, set up for the command table.
#ifndef SHEETKIT_SUITE_COMMAND_H_
#define SHEETKIT_SUITE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>

#include "commands.h"

namespace sheetkit {

// `suite make SPEC -o DIR` and `suite verify DIR`, with -j and --shard; see
// command::setup.
std::function<prepared()> setup_suite_make(CLI::App& make);
std::function<prepared()> setup_suite_verify(CLI::App& verify);

// The help text after suite's options.
extern const char* const suite_footer;

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_COMMAND_H_
