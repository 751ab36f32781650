// `sheetkit generate`: a family run's options, set up for the command table.
#ifndef SHEETKIT_GENERATE_COMMAND_H_
#define SHEETKIT_GENERATE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/command.h"

namespace sheetkit {

// `generate FAMILY [NAME=VALUE ...] [--defects LAW [NAME=VALUE ...]] -o DIR`;
// see command::setup.
std::function<prepared()> setup_generate(CLI::App& app);

// The help text after generate's options: the families, the laws and their parameters.
extern const char* const generate_footer;

}  // namespace sheetkit

#endif  // SHEETKIT_GENERATE_COMMAND_H_
