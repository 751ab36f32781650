// sheetkit's command line, apart from main() so that tests drive it
// in-process.
#ifndef SHEETKIT_CLI_H_
#define SHEETKIT_CLI_H_

#include <ostream>
#include <span>

#include "cli/commands.h"

namespace sheetkit {

// Runs `sheetkit COMMAND [options]`: results on `out`, errors on `err`,
// each error one line that starts with "sheetkit:". `terminal`: `err` is a
// terminal, on which long runs show a progress line. Never throws.
int sheetkit_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                  bool terminal = false);

// The same with another table of commands than sheetkit's own.
int sheetkit_main(std::span<const command> table, int argc, const char* const* argv,
                  std::ostream& out, std::ostream& err, bool terminal = false);

}  // namespace sheetkit

#endif  // SHEETKIT_CLI_H_
