/// \file
/// How long work over a run's instances reports where it stands: one
/// protocol for the library's passes, sheetkit's commands and a progress
/// display.
#ifndef SHEETGEN_PROGRESS_H_
#define SHEETGEN_PROGRESS_H_

#include <cstdint>
#include <functional>
#include <string_view>

namespace sheetgen {

/// Where one pass over a run's instances stands.
struct pass_progress {
  /// What the pass does: "items", "defects", or a command's name such as
  /// "check". Empty once the work has ended, however it ended: a display
  /// then takes itself away.
  std::string_view pass;
  int64_t done = 0;       ///< instances done in this pass; 0 when the pass starts
  int64_t total = 0;      ///< instances the pass will do; 0 when not known
  int64_t units = 0;      ///< what this pass has done in all, counted in `unit`s
  std::string_view unit;  ///< what is counted: "items", "defects", "lines"
};

/// Told when each pass starts (nothing done yet), after each instance, and
/// once with an empty pass when the work ends. May be empty. The views in
/// the report last only for the call.
using progress_callback = std::function<void(const pass_progress&)>;

}  // namespace sheetgen

#endif  // SHEETGEN_PROGRESS_H_
