// What the pictures of a run share: the figures of a first pass over the
// run that they are laid out by, and the wording of their captions.
#ifndef SHEETKIT_PICTURE_H_
#define SHEETKIT_PICTURE_H_

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "files/instance.h"

namespace sheetkit {

/// Counts and ranges of a whole run, gathered before anything is drawn.
struct run_summary {
  int64_t instances = 0;                                   ///< instances seen
  int64_t items = 0;                                       ///< item types of all instances
  int64_t defects = 0;                                     ///< defects of all instances
  int64_t min_area = std::numeric_limits<int64_t>::max();  ///< smallest item area
  int64_t max_area = std::numeric_limits<int64_t>::min();  ///< largest item area
  int64_t max_length = 0, max_width = 0;                   ///< of the item types
  double defect_area = 0;  ///< sum of all defects' areas, overlaps counted each time

  /// Takes one more instance into account.
  void add(const instance& inst);
  /// Takes in what `other` summed up, of the instances after these.
  void add(const run_summary& other);
};

/// The sides of a run's object, both positive: every picture is laid out by
/// them, so every picture takes them from here, where they are checked.
struct object_sides {
  int64_t length = 0, width = 0;  ///< in units

  /// Throws sheetgen::error "Cannot draw an object of L × W!" unless both
  /// sides of `run`'s object are positive.
  explicit object_sides(const run_info& run);
  /// length × width.
  int64_t area() const { return length * width; }
};

/// "10 × 3": an object's or item's length and width.
std::string size_text(int64_t length, int64_t width);

}  // namespace sheetkit

#endif  // SHEETKIT_PICTURE_H_
