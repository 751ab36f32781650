// A command line (or an answers file) that keeps a command from starting:
// exit status 2, as against sheetgen::error, a command that failed (1).
#ifndef SHEETKIT_USAGE_ERROR_H_
#define SHEETKIT_USAGE_ERROR_H_

#include <stdexcept>

namespace sheetkit {

/// What the user has to change before the command can run; its message is
/// shown after "sheetkit: COMMAND: ".
struct usage_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace sheetkit

#endif  // SHEETKIT_USAGE_ERROR_H_
