// The picture of where the defects of all instances lie, overlaid on one
// object (defects.svg).
#ifndef SHEETKIT_DEFECT_OVERLAY_H_
#define SHEETKIT_DEFECT_OVERLAY_H_

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "files/instance.h"
#include "pictures/defect_density.h"
#include "pictures/object_view.h"
#include "pictures/picture.h"
#include "pictures/svg.h"

namespace sheetkit {

/// Up to max_rectangles defects in all are drawn one by one, translucent,
/// so that places covered often look darker. Beyond that the object is cut
/// into cells of about 6 pixels, each shaded by the share of its area that
/// defects cover, averaged over the instances (from defect_density: exact,
/// and bounded in memory whatever the run's size).
class defect_overlay {
 public:
  /// Defects in all up to which each is drawn as a rectangle.
  static constexpr int64_t max_rectangles = 4000;

  /// For a run whose first pass gave `sum`; both must outlive the overlay.
  /// Throws sheetgen::error when the object has no area to draw on
  /// (object_sides).
  defect_overlay(const run_info& run, const run_summary& sum);

  /// Takes in the defects of one more instance.
  void add(const instance& inst);

  /// Writes the picture of the defects added so far.
  void render(std::ostream& out, const svg::form& how) const;
  /// The same as a string.
  std::string render(const svg::form& how) const;

 private:
  void draw_grid(svg::canvas& c, std::vector<std::string>& notes) const;

  const run_info& run_;
  const run_summary& sum_;
  object_view view_;
  svg::canvas rectangles_;                 // while drawn one by one
  bool enlarged_ = false;                  // some rectangle is drawn wider than to scale
  std::optional<defect_density> density_;  // beyond max_rectangles
};

}  // namespace sheetkit

#endif  // SHEETKIT_DEFECT_OVERLAY_H_
