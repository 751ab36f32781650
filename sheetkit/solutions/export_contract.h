// The contract between an export and the solver that read it: the rules
// (copies, rotation) are those the export's items.csv gave the solver, and
// its items, bin and defects must still be those of our files, or the
// solver solved another instance.
#ifndef SHEETKIT_EXPORT_CONTRACT_H_
#define SHEETKIT_EXPORT_CONTRACT_H_

#include <filesystem>
#include <string>
#include <vector>

#include "solutions/solution_check.h"

namespace sheetkit {

/// What an export's instance folder tells the check.
struct export_contract {
  std::vector<int64_t> copies;   ///< per item type, items.csv's COPIES
  std::vector<bool> rotation;    ///< per item type, ORIENTED = 0
  std::vector<std::string> differences;  ///< `FILE:LINE: what differs from our files`
};

/// Reads DIR/items.csv, DIR/bins.csv and DIR/defects.csv as the export
/// writes them and holds them to `instance`. Throws sheetgen::error
/// "FILE:LINE: what is wrong" for a file not in the export's form, "Cannot
/// read file FILE: REASON" for one that cannot be read.
export_contract read_export_contract(const std::filesystem::path& dir,
                                     const solution_instance& instance);

}  // namespace sheetkit

#endif  // SHEETKIT_EXPORT_CONTRACT_H_
