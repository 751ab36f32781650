// The whole run: banner, dialogue, generation, closing prompt.
#ifndef SHEETGEN_DRIVER_H_
#define SHEETGEN_DRIVER_H_

#include <filesystem>
#include <iosfwd>

namespace sheetgen {

// Runs the program once, reading the answers from `in` and writing the
// console text to `out`; file names are taken relative to `folder`.
// Returns the exit status: 0 after a completed run, 1 after an abort.
int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder);

}  // namespace sheetgen

#endif  // SHEETGEN_DRIVER_H_
