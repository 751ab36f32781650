// Upper bounds on what a solution of one instance can be worth, each
// labelled with what it is, in exact integer arithmetic: the usable area
// (the object less the union of its defects), the copies of each item type
// that can fit, and the knapsack bound (the best total value of copies
// whose total area fits the usable area), exact where it fits a budget and
// the linear relaxation otherwise.
//
// Every figure is a function of its inputs alone: the same on any machine,
// whatever the budget's work counts do to the time it takes.
#ifndef SHEETKIT_BOUNDS_H_
#define SHEETKIT_BOUNDS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "figures/coverage.h"
#include "files/instance.h"

namespace sheetkit {

/// How the knapsack bound was found.
enum class knapsack_method {
  all_fit,              ///< every copy that fits fits by area too: their total value
  subset_sum,           ///< value = area: exact bounded subset sum on a bitset
  dynamic_programming,  ///< other values: exact bounded knapsack, by dynamic programming
  linear_relaxation,    ///< beyond the budget: the linear relaxation, not exact
};

/// Its name as stats' JSON and Python's bounds() give it: "all_fit",
/// "subset_sum", "dynamic_programming", "linear_relaxation".
std::string_view method_name(knapsack_method m);

/// What the exact knapsack bound may cost before it falls back to the
/// linear relaxation. Capacities are counted in units of the greatest
/// common divisor of the item types' areas. Work is counted, not timed, so
/// that a fallback happens alike on every machine.
struct bound_budget {
  /// Subset sum: the bitset's bits (capacity + 1); 2^28 bits are 32 MiB,
  /// more than a 6000 x 3210 object's 19.3 million.
  int64_t subset_sum_bits = int64_t{1} << 28;
  /// Subset sum: 64-bit words shifted in all (a tenth of a second's work,
  /// four times what 200 item types on a 6000 x 3210 object can take).
  int64_t subset_sum_words = int64_t{1} << 28;
  /// Dynamic programming: 64-bit cells of its table (2^22 cells are 32 MiB).
  int64_t table_cells = int64_t{1} << 22;
  /// Dynamic programming: cells updated in all.
  int64_t table_updates = int64_t{1} << 28;
};

/// One instance, and what its item types are worth. Copies below 0 set no
/// limit (the most that fit are taken).
struct bound_input {
  rectangle object;                        ///< the object's length and width
  std::span<const rectangle> items;        ///< the item types
  std::span<const placed_defect> defects;  ///< the defects; parts outside the object do not count
  std::span<const int64_t> values;         ///< per item type, each >= 0; empty: value = area
  std::span<const int64_t> copies;         ///< per item type; empty: `copies_each` for every type
  int64_t copies_each = 1;                 ///< copies of every item type when `copies` is empty
  bool rotation = false;                   ///< whether items may be turned by 90 degrees
  bound_budget budget;
};

/// The knapsack bound and how it was found.
struct knapsack_bound {
  int64_t value = 0;
  knapsack_method method = knapsack_method::all_fit;
  /// Whether `value` is the knapsack's own optimum (false: its relaxation).
  bool exact = true;
  /// Why the exact bound was not computed, when it was not; else empty.
  std::string note;
};

/// The bounds of one instance. Every value-bound bounds the total value of
/// any feasible placement; `best` is the least of them.
struct instance_bounds {
  int64_t object_area = 0;  ///< length x width
  int64_t defect_area = 0;  ///< of the object, by the union of the defects
  int64_t usable_area = 0;  ///< object area - defect area: bounds the placed area
  /// Per item type: the most copies that can be placed, capped by its
  /// copies: 0 when it fits neither way; at most usable area / its area,
  /// and, where it cannot be turned (or is a square), at most the copies
  /// in a grid of the object.
  std::vector<int64_t> copies_that_fit;
  bool value_is_area = true;  ///< whether every value is the type's area
  int64_t copies_value = 0;   ///< value of every copy that fits: a bound
  int64_t relaxation = 0;     ///< the knapsack's linear relaxation, rounded down: a bound
  knapsack_bound knapsack;    ///< the knapsack bound (the relaxation again when not exact)
  int64_t best = 0;           ///< the least of the bounds
  /// Which it is: "knapsack" (exact), "linear_relaxation", "copies_value",
  /// or "usable_area" (only where value = area); on a tie the first of these.
  std::string_view best_name;
};

/// Computes instance_bounds, keeping its working memory (bitset, table,
/// union sweep) from one call to the next: keep one for a whole run.
class bound_calculator {
 public:
  instance_bounds operator()(const bound_input& in);

 private:
  union_area_calculator union_area_;
  std::vector<uint64_t> bits_;
  std::vector<int64_t> table_;
  std::vector<placed_defect> clipped_;
};

/// The same for a single instance.
instance_bounds compute_bounds(const bound_input& in);

}  // namespace sheetkit

#endif  // SHEETKIT_BOUNDS_H_
