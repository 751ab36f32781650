// The referee: a solution held to our instance (object, item types and
// defects) and to the rules the solver was given, in exact 64-bit integer
// arithmetic. Says what is wrong, line by line, and how good it is.
#ifndef SHEETKIT_SOLUTION_CHECK_H_
#define SHEETKIT_SOLUTION_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/instance.h"
#include "solutions/placement.h"

namespace sheetkit {

/// `copies` of an item type that sets no limit.
constexpr int64_t unlimited_copies = -1;

/// How a guillotine certificate's first level is cut.
enum class stage_orientation {
  vertical,    ///< first-level cuts run along y: its pieces lie side by side along x
  horizontal,  ///< first-level cuts run along x
  any,         ///< either, the same for all of a plate's first level
};

/// A guillotine solver's settings, named as PackingSolver names its own.
struct guillotine_rules {
  int64_t number_of_stages = 3;  ///< levels of cuts (--number-of-stages)
  /// --cut-type non-exact: a piece of the last stage may be trimmed once
  /// more, into its item and a waste; exact: it must be the item itself.
  bool non_exact = true;
  stage_orientation first_stage_orientation = stage_orientation::any;
  int64_t cut_thickness = 0;         ///< the blade's width between neighbouring pieces
  int64_t minimum_waste_length = 1;  ///< a waste piece's least extent across its cut
  bool cut_through_defects = false;  ///< whether a cut may cross a defect
};

/// The rules a solution is held to.
struct solution_rules {
  int64_t copies = 1;     ///< copies of each item type, or unlimited_copies
  bool rotation = false;  ///< whether items may be turned by 90 degrees
  /// Per item type, when not empty: its copies (overrides `copies`), as an
  /// export's items.csv gives them.
  std::vector<int64_t> type_copies;
  /// Per item type, when not empty: whether it may be turned (overrides `rotation`).
  std::vector<bool> type_rotation;
  guillotine_rules guillotine;      ///< for guillotine certificates only
  std::size_t max_violations = 20;  ///< violations kept in full; the rest are counted
  /// When set, called every few thousand steps of a check; it may throw to
  /// abandon the check (Python's Ctrl-C does), and the exception leaves the
  /// check as it came.
  std::function<void()> poll;
};

/// The instance a solution is checked against, as our files give it.
struct solution_instance {
  rectangle object;                        ///< the object's length and width
  std::span<const rectangle> items;        ///< the item types, in file order (type 0 first)
  std::span<const placed_defect> defects;  ///< our defects, in file order (defect 0 first)
  /// A family run's value and copies per item type, when not empty: the
  /// profit counts the values, and the copies hold where no rule overrides them.
  std::span<const sheetgen::item_value> values = {};
};

/// placed / usable, 0 when nothing is usable: an instance's utilisation, or a run's.
double utilisation_of(int64_t placed, int64_t usable);
/// (bound - placed) / bound, 0 when the bound is 0: an instance's gap, or a run's.
double gap_of(int64_t bound, int64_t placed);

/// How good a solution is, whether feasible or not.
struct solution_figures {
  int64_t items_placed = 0;    ///< placed items, copies counted
  int64_t distinct_types = 0;  ///< item types placed at least once
  int64_t placed_area = 0;     ///< the placed items' area (their types' areas)
  int64_t profit = 0;          ///< the export's PROFIT summed: the types' areas
  int64_t object_area = 0;     ///< length x width
  int64_t usable_area = 0;     ///< object area minus the union of the defects
  int64_t available_area = 0;  ///< area of every copy allowed; -1 when unlimited
  int64_t area_bound = 0;      ///< the best bound (bounds.h): at most min(usable, available area)
  /// The instance's best profit where its family knows it by construction
  /// (the perfect family); set by the caller, who knows the family.
  std::optional<int64_t> known_optimum;

  /// placed area / usable area (0 when nothing is usable).
  double utilisation() const { return utilisation_of(placed_area, usable_area); }
  /// (area bound - placed area) / area bound (0 when the bound is 0).
  double gap() const { return gap_of(area_bound, placed_area); }
  /// (known optimum - profit) / known optimum: 0 for an optimal solution
  /// (0 without a known optimum, or for one of 0).
  double optimum_gap() const;
};

/// One thing wrong with a solution.
struct violation {
  /// One line: `FILE:LINE[, LINE]: the facts`, such as `solution.csv:14:
  /// item type 3 at (120, 40), 30 x 20, overlaps defect 2 (x 100 to 130, y
  /// 30 to 60)`.
  std::string text;
  bool has_area = false;                   ///< whether it happens at a place on the object
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  ///< that place, to be outlined in a drawing
};

/// The verdict on one solution.
struct solution_report {
  solution_figures figures;
  std::vector<violation> violations;  ///< the first rules.max_violations, in the order found
  int64_t violation_count = 0;        ///< all of them

  /// Whether nothing is wrong.
  bool feasible() const { return violation_count == 0; }
  /// The violations' texts, then "... and N more violations" when some
  /// were only counted.
  std::vector<std::string> lines() const;
  /// Adds one violation: kept while fewer than `keep` are, counted always.
  void add(violation v, std::size_t keep);
};

/// "FILE:LINE", or "FILE" alone for line 0: where a violation's message starts.
std::string located(const std::string& file, int64_t line);

/// Where a violation of `s` at `line` starts: as above, or "FILE ROW" for
/// an array's rows (see solution::rows).
std::string located(const solution& s, int64_t line);

/// Checks `s` against `instance` under `rules`: every item inside the
/// object with its type's sides (swapped only where rotation is allowed);
/// no two items overlapping (interiors; touching is fine), nor an item and
/// a defect; a certificate's defects the same as ours and its one bin the
/// object; no item type placed more often than its copies; a guillotine
/// certificate's tree sound under `rules.guillotine`. Item types and
/// defects are numbered from 0, as the solver numbers them. Never throws
/// for anything in `s`.
solution_report check_solution(const solution_instance& instance, const solution& s,
                               const solution_rules& rules);

/// The same for bare placements (our placement CSV's rows), named `file`
/// in the messages.
solution_report check_placements(const solution_instance& instance,
                                 std::span<const placement> placements, const solution_rules& rules,
                                 const std::string& file = "placements");

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_CHECK_H_
