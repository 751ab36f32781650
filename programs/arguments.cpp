#include "arguments.h"

#include <sheetgen/version.h>

#include <string_view>

namespace sheetgen {

namespace {

constexpr std::string_view help =
    "Usage: sheetgen < ANSWERS_FILE\n"
    "       sheetgen                 (asks its questions one at a time)\n"
    "\n"
    "Generates instances of the two-dimensional rectangular Single Large Object\n"
    "Placement Problem with defects: an instance file and a defect file. It asks\n"
    "its questions on standard output and reads the answers on standard input,\n"
    "one per line, so that a run's answers kept in a file give the same files\n"
    "again. The dialogue and both file formats are described in README.md;\n"
    "sheetkit checks, describes, draws and exports the files.\n"
    "\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n";

}  // namespace

std::optional<int> answer_arguments(int argc, const char* const* argv, std::ostream& out,
                                    std::ostream& err) {
  if (argc < 2) return std::nullopt;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      out << help;
    } else if (word == "--version") {
      out << "sheetgen " << version << '\n';
    } else {
      continue;
    }
    return out.flush() ? 0 : 1;
  }
  err << "sheetgen: \"" << argv[1] << "\"" << (argc > 2 ? " and what follows" : "")
      << " ignored: sheetgen takes no arguments; give the answers on standard input, "
         "sheetgen < answers.txt (sheetgen --help says more)\n";
  return std::nullopt;
}

}  // namespace sheetgen
