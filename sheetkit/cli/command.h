// What a sheetkit command is: its entry in the table of commands, what its
// setup hands back, and what its work is given (the output, the errors and
// the progress line) and returns (an exit status).
#ifndef SHEETKIT_COMMAND_H_
#define SHEETKIT_COMMAND_H_

#include <sheetgen/progress.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <exception>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "files/instance.h"
#include "progress/progress_line.h"

namespace sheetkit {

// Exit statuses: what a command's work returns, and sheetkit.
constexpr int status_ok = 0;        // done; check found nothing, verify found the files identical
constexpr int status_problems = 1;  // problems found in the files, or a command failed
constexpr int status_usage = 2;     // the command line or the answers file is wrong

// A command's progress line: every pass it makes, its own or the
// library's, shown under the command's name.
class command_progress {
 public:
  command_progress(std::string_view command, std::ostream& err, bool terminal, const run_info& run);

  // For the library's passes and check's: reports shown under the command's
  // name, with the pass's own: "verify (defects)".
  sheetgen::progress_callback callback();

  // Every pass that `pass` makes, shown as it goes (unit: lines of both files).
  instance_pass shown(instance_pass pass);

  void clear() { line_.clear(); }

 private:
  std::string_view command_;
  sheetgen::progress_line line_;
  int64_t total_;
  std::string label_pass_;  // the pass last reported
  std::string label_;       // what it is shown as
};

// The message of an error met while a command works on `run`: for a file
// that the run's answers file names and that cannot be opened, also how
// such names are taken.
std::string error_message(const std::exception& e, const run_info& run);

// The one way sheetkit writes a message on standard error: `prefix`
// ("sheetkit: suite export: "), the message and a line end.
void write_message(std::ostream& err, std::string_view prefix, std::string_view message);

// What a command works with once it runs.
struct session {
  std::ostream& out;
  std::ostream& err;
  command_progress& shown;
  std::string_view prefix;  // "sheetkit: check: ", before every message on `err`
  const run_info& run;

  // A message on `err` after the prefix, the progress line cleared first.
  void say(std::string_view message);
  // An error that the command goes on after, said as error_message says it.
  void error(const std::exception& e) { say(error_message(e, run)); }
};

// A command whose options are parsed and checked: the run it reads, and
// the work, which returns the exit status.
struct prepared {
  run_info run;
  std::function<int(const run_info& run, session& s)> work;
};

// One entry of the table. `setup` adds the command's options to its CLI11
// subcommand and returns what, once they are parsed, checks them (throwing
// usage_error or sheetgen::error before anything is read: status 2) and
// prepares the work, which may throw usage_error too (status 2) when what
// was asked turns out impossible before anything is written. A group of
// commands ("suite make", "suite verify") has no setup of its own but the
// table of its commands in `group`.
struct command {
  const char* name;
  const char* description;
  const char* footer;  // more help, before the exit statuses; "": those alone; nullptr: none
  std::function<prepared()> (*setup)(CLI::App& app);
  std::span<const command> group = {};
};

}  // namespace sheetkit

#endif  // SHEETKIT_COMMAND_H_
