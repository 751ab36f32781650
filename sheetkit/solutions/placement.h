// What a solver's solution says about one instance, whatever file it came
// from: the items it placed, and for certificates the bins, defects and
// cutting tree they state. Readers fill it; the check judges it.
#ifndef SHEETKIT_PLACEMENT_H_
#define SHEETKIT_PLACEMENT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace sheetkit {

/// One placed item: the corner nearest the object's origin and its sides.
struct placement {
  int64_t item_type = 0;  ///< 0-based row of the instance's block (the export's items.csv)
  int64_t x = 0;          ///< along the object's length
  int64_t y = 0;          ///< along the object's width
  /// The placed side along x; -1 when the file gives none: the type's own
  /// length (its width when rotated). Certificates give both sides, and
  /// show a rotation only by their being swapped.
  int64_t length = -1;
  int64_t width = -1;    ///< the placed side along y; -1 as for `length`
  bool rotated = false;  ///< the file says the item is turned by 90 degrees
  int64_t copies = 1;    ///< how often it is placed (a certificate's identical bins grouped)
  int64_t line = 0;      ///< its line in the file; 0 when it comes from no file
  int64_t bin = 0;       ///< the bin (certificate's BIN, PLATE_ID) it lies in: 0 is the object
};

/// A bin as a certificate states it (a `BIN` row).
struct stated_bin {
  int64_t type = 0;      ///< bin type id: 0 is the object
  int64_t copies = 1;    ///< identical bins grouped on one row
  int64_t position = 0;  ///< the bin's position in the solution
  int64_t length = 0;    ///< side along x
  int64_t width = 0;     ///< side along y
  int64_t line = 0;      ///< its line in the file
};

/// A defect as a certificate states it (`DEFECT` rows, guillotine rows of
/// type -4): what the solver read, to be held to our defect file.
struct stated_defect {
  int64_t index = 0;  ///< the defect's index in its bin type (-1 where the file gives none)
  int64_t bin = 0;    ///< the bin (type or plate) the file puts it in: 0 is the object
  int64_t x = 0;      ///< corner nearest the origin
  int64_t y = 0;
  int64_t length = 0;  ///< side along x
  int64_t width = 0;   ///< side along y
  int64_t line = 0;    ///< its line in the file
};

/// Node types of a guillotine certificate besides item types (>= 0).
constexpr int64_t node_waste = -1;
constexpr int64_t node_branch = -2;
constexpr int64_t node_residual = -3;

/// One node of a guillotine cutting tree.
struct cut_node {
  int64_t plate = 0;   ///< the plate (bin) it belongs to
  int64_t copies = 1;  ///< the plate's copies
  int64_t id = 0;      ///< node ids run on across plates
  int64_t x = 0;       ///< corner nearest the origin
  int64_t y = 0;
  int64_t length = 0;  ///< side along x (the certificate's WIDTH)
  int64_t width = 0;   ///< side along y (HEIGHT)
  /// An item type (>= 0), node_waste, node_branch or node_residual; for a
  /// root (a plate), its bin type.
  int64_t type = 0;
  int64_t depth = 0;    ///< the certificate's CUT: 0 the plate, 1 first-level cuts, ...
  int64_t parent = -1;  ///< the parent's id; -1 for a root
  int64_t line = 0;     ///< its line in the file
};

/// The forms a solution file may have.
enum class solution_format {
  rectangle,   ///< PackingSolver's rectangle certificate
  guillotine,  ///< PackingSolver's rectangleguillotine certificate
  placements,  ///< sheetkit's own placement CSV
};

/// What one solution file says about one instance.
struct solution {
  solution_format format = solution_format::placements;
  std::string file;      ///< the file's name as given, for messages
  int64_t instance = 0;  ///< 1-based instance of a placement CSV; 0 for a certificate
  /// Whether the items are the rows of an array named `file` (Python's
  /// placements) rather than a file's lines: violations then name "FILE
  /// ROW", the 0-based row being an item's line - 1.
  bool rows = false;
  /// Every placed item, in file order (a guillotine certificate's item
  /// leaves too).
  std::vector<placement> items;
  std::vector<stated_bin> bins;        ///< certificates' `BIN` rows
  std::vector<stated_defect> defects;  ///< certificates' defect rows
  std::vector<cut_node> nodes;         ///< a guillotine certificate's tree, in file order
};

}  // namespace sheetkit

#endif  // SHEETKIT_PLACEMENT_H_
