// The contract between an export and the solver that read it: the rules
// (copies, rotation) are those the export was asked for, its record says
// so where it keeps one, and its files must still be those of our files
// and of those rules, or the solver solved another instance.
#ifndef SHEETKIT_EXPORT_CONTRACT_H_
#define SHEETKIT_EXPORT_CONTRACT_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "solutions/solution_check.h"

namespace sheetkit {

/// The rules an export gave its solver: what it was asked.
struct export_terms {
  int64_t copies = 1;     ///< COPIES of every item type (--copies), or unlimited_copies
  bool rotation = false;  ///< whether every item may be turned (--rotation: ORIENTED 0)
};

/// The terms that a set's record line names ("sheetkit suite export --to
/// packingsolver --copies N|unlimited [--rotation]"); nullopt for any
/// other line.
std::optional<export_terms> parse_export_record(std::string_view line);

/// What an export's instance folder tells the check.
struct export_contract {
  export_terms terms;                    ///< the rules the solver was given
  std::vector<int64_t> copies;           ///< per item type, the copies the terms give it
  std::vector<bool> rotation;            ///< per item type, whether it may be turned
  std::vector<std::string> differences;  ///< `FILE:LINE: what differs from our files`
};

/// Reads DIR/items.csv, DIR/bins.csv and DIR/defects.csv as the export
/// writes them and holds them to `instance` and to `terms`: every row's
/// COPIES and ORIENTED must be what those terms write. Without terms (an
/// export that keeps no record) they are what items.csv shows, when one
/// export could have written all its rows. Throws sheetgen::error
/// "FILE:LINE: what is wrong" for a file not in the export's form, "Cannot
/// read file FILE: REASON" for one that cannot be read.
export_contract read_export_contract(const std::filesystem::path& dir,
                                     const solution_instance& instance,
                                     const std::optional<export_terms>& terms = std::nullopt);

}  // namespace sheetkit

#endif  // SHEETKIT_EXPORT_CONTRACT_H_
