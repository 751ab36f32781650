// What a wrong command line is told: CLI11's parse errors, caught by kind,
// as one sentence about sheetkit's own options that says what to change.
#ifndef SHEETKIT_CLI_ERRORS_H_
#define SHEETKIT_CLI_ERRORS_H_

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace sheetkit {

/// "check", "suite make": the command `app` stands for, as typed after
/// "sheetkit"; empty for sheetkit itself.
std::string command_path(const CLI::App& app);

/// "sheetkit: " or "sheetkit: check: ", before every message about `app`.
std::string message_prefix(const CLI::App& app);

/// The message, "sheetkit: ..." without a line end, for the error that
/// parsing `argv` with `root` threw. Reads what the parse left behind in
/// the apps (the words not taken, each option's values), so it must come
/// right after the parse. A word nobody took is reported first, before
/// what is missing: it is most often the cause.
std::string usage_message(const CLI::ParseError& e, CLI::App& root, int argc,
                          const char* const* argv);

/// Gives `option` the values it may take: check_choice holds a value to
/// them, and a command line that leaves the value out, or gives one of them
/// as an option of its own ("--csv"), is told them. Returns `option`.
CLI::Option* with_choices(CLI::Option* option, const std::vector<std::string>& choices);

/// Throws usage_error "--to takes packingsolver, json or jsonl, not "x"; did
/// you mean json?" unless `value` is one of `option`'s choices.
void check_choice(CLI::Option& option, const std::string& value);

/// Throws usage_error when an option of `command` took another of its
/// options as a value ("--object 10x10 --answers a" gives --object three
/// words): CLI11 takes any word to fill an option's minimum.
void check_values(const CLI::App& command);

}  // namespace sheetkit

#endif  // SHEETKIT_CLI_ERRORS_H_
