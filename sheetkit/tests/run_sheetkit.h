// Runs sheetkit in-process, as its main() does, for the command tests.
#ifndef SHEETKIT_TESTS_RUN_SHEETKIT_H_
#define SHEETKIT_TESTS_RUN_SHEETKIT_H_

#include <concepts>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace sheetkit::testing {

struct cli_result {
  int status;
  std::string out;
  std::string err;
};

// `sheetkit ARGS...`, with what it writes to standard output and error.
inline cli_result sheetkit(std::vector<std::string> args) {
  args.insert(args.begin(), "sheetkit");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = sheetkit_main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

// The same for arguments kept as C strings (a braced list picks the one above).
template <class T>
requires std::same_as<T, const char*> cli_result sheetkit(const std::vector<T>& args) {
  return sheetkit(std::vector<std::string>(args.begin(), args.end()));
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_RUN_SHEETKIT_H_
