// What a solver says of its own solution (PackingSolver's --output JSON),
// held to what the certificate shows.
#ifndef SHEETKIT_CLAIMS_H_
#define SHEETKIT_CLAIMS_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "solutions/judge.h"
#include "solutions/solution_check.h"

namespace sheetkit {

/// The figures a solver claims; each one it does not state is left empty.
struct solution_claims {
  std::string file;                   ///< the JSON file, for messages
  std::optional<int64_t> items;       ///< NumberOfItems
  std::optional<int64_t> item_area;   ///< ItemArea
  std::optional<double> item_profit;  ///< ItemProfit
  std::optional<int64_t> bins;        ///< NumberOfBins
  std::optional<bool> feasible;       ///< Feasible, where the solver writes it
  /// What the file says of NumberOfItems, ItemArea and NumberOfBins where
  /// it is past 64 bits (the claim is then held as the largest int64, and
  /// quoted as written).
  std::optional<std::string> items_text, item_area_text, bins_text;
};

/// Reads the figures of `Output.Solution` in a PackingSolver --output
/// file. Throws sheetgen::error "FILE: what is wrong" when it is no such
/// file, "FILE: cannot be read: REASON" when it cannot be read.
solution_claims read_claims(const std::filesystem::path& file);

/// Adds to `report` a violation for every claim that disagrees with the
/// certificate `s` and its figures (already in `report`).
void check_claims(const solution_claims& claims, const solution& s, solution_report& report,
                  std::size_t keep);

/// Holds the claims in the file `claims` to the judged solution `j`, as
/// check_claims does (keeping `keep` violations); a claims file that
/// cannot be read leaves the instance not judged, with why.
void judge_claims(judgement& j, const std::filesystem::path& claims, std::size_t keep);

}  // namespace sheetkit

#endif  // SHEETKIT_CLAIMS_H_
