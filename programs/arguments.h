// sheetgen's command line. The dialogue takes no arguments: its answers
// come on standard input. --help and --version are answered instead of a
// run; anything else is noted on standard error and the run goes on as
// without it, so that what it prints on standard output never changes.
#ifndef SHEETGEN_ARGUMENTS_H_
#define SHEETGEN_ARGUMENTS_H_

#include <optional>
#include <ostream>

namespace sheetgen {

/// The exit status when `argv` asks for --help or --version (the text on
/// `out`: 0, or 1 when it cannot be written), else nothing: the dialogue
/// runs, after a one-line note on `err` about any argument it ignores.
std::optional<int> answer_arguments(int argc, const char* const* argv, std::ostream& out,
                                    std::ostream& err);

}  // namespace sheetgen

#endif  // SHEETGEN_ARGUMENTS_H_
