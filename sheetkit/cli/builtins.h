// Every command's setup, one file each in cli/ (check.cpp, suite_make.cpp,
// ...), for the table in commands.cpp; see command::setup.
#ifndef SHEETKIT_BUILTINS_H_
#define SHEETKIT_BUILTINS_H_

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/command.h"

namespace sheetkit {

std::function<prepared()> setup_check(CLI::App& app);
std::function<prepared()> setup_stats(CLI::App& app);
std::function<prepared()> setup_draw(CLI::App& app);
std::function<prepared()> setup_export(CLI::App& app);
std::function<prepared()> setup_verify(CLI::App& app);
std::function<prepared()> setup_version(CLI::App& app);
/// `generate FAMILY [NAME=VALUE ...] [--defects LAW [NAME=VALUE ...]] -o DIR`.
std::function<prepared()> setup_generate(CLI::App& app);

/// `solution check`: the run, the solutions, the rules.
std::function<prepared()> setup_solution_check(CLI::App& app);
/// `solution draw -o DIR`: the same, and a picture per chosen instance.
std::function<prepared()> setup_solution_draw(CLI::App& app);

/// `suite make SUITE_FILE -o DIR`, with -j and --shard.
std::function<prepared()> setup_suite_make(CLI::App& app);
/// `suite verify DIR`, with -j and --shard.
std::function<prepared()> setup_suite_verify(CLI::App& app);
/// `suite report DIR [-o FILE]`.
std::function<prepared()> setup_suite_report(CLI::App& app);
/// `suite export DIR --to FORMAT -o OUT`, with -j and --shard.
std::function<prepared()> setup_suite_export(CLI::App& app);
/// `suite results DIR OUT [--format F] [-o FILE]`, with -j and the guillotine rules.
std::function<prepared()> setup_suite_results(CLI::App& app);

/// The help text after generate's options: the families, the laws and their parameters.
extern const char* const generate_footer;
/// The help text after solution's options.
extern const char* const solution_footer;

}  // namespace sheetkit

#endif  // SHEETKIT_BUILTINS_H_
