// The large object on a picture: where it goes and at what scale, its face,
// axes, outline and caption, and the defects on it.
#ifndef SHEETKIT_OBJECT_VIEW_H_
#define SHEETKIT_OBJECT_VIEW_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/instance.h"
#include "pictures/picture.h"
#include "pictures/svg.h"
#include "pictures/svg_axes.h"

namespace sheetkit {

/// The object's place on a picture: 800 px on its longer side, and a
/// shorter side thinner than 100 px stretched alone, so that a 20000 x 10
/// object stays visible.
struct object_view {
  int64_t length = 0, width = 0;  ///< the object's, in units
  svg::axis x, y;                 ///< units to pixels along its length and width
  std::vector<svg::tick> xt, yt;  ///< the ticks of either axis
  double left = 0;                ///< the object's left edge in pixels
  double picture_width = 0;       ///< the whole picture's width in pixels
  /// > 1: the width is drawn that much longer than to scale; < 1: the length.
  double stretch = 1;
};

/// Lays out the object.
object_view place_object(const object_sides& object);

/// Title and subtitle (unless `bare`), the object's face and its axes; the
/// caller then adds what lies on the object and calls finish_object.
void start_object(svg::canvas& c, const object_view& v, std::string_view title,
                  std::string_view subtitle, bool bare);

/// The outline on top of everything drawn on the object, the origin, and
/// (unless `bare`) the caption: `notes`, then a word on the scale and the
/// origin. What the caller drew below the axes takes `extra_below` pixels.
/// Returns the part of the drawing that makes the picture: all of it, or
/// of a bare picture neither title nor caption.
svg::box finish_object(svg::canvas& c, const object_view& v, double extra_below,
                       std::vector<std::string> notes, bool bare);

/// Defects less than this many pixels across are drawn this wide or high: a smaller
/// speck would not be seen.
constexpr double min_defect_px = 4;

/// A defect as drawn: its true extent (clipped to the object, so that a
/// stray one cannot spoil the layout) and what is drawn of it.
struct defect_mark {
  svg::box extent;        ///< where the defect lies, to scale
  svg::box drawn;         ///< the extent, widened to min_defect_px about its centre where smaller
  bool enlarged = false;  ///< whether `drawn` is larger than `extent`
};

/// Where defect `d` goes on the picture.
defect_mark mark_defect(const object_view& v, const placed_defect& d);

/// Draws a mark in the class "defect" and, when it is enlarged, its true
/// extent outlined on top in the class "defect-extent" (styled by
/// start_object). The tooltip goes on the mark.
void draw_defect(svg::canvas& c, const defect_mark& m, std::string_view tooltip = {});

/// The caption's sentence for pictures with enlarged marks.
std::string enlarged_defects_note();

/// Opacity for translucent rectangles stacked `mean_depth` deep on average:
/// where they pile up twice as deep as that the colour is nearly solid, so
/// differences in density still show; kept within [lo, hi].
double stacked_opacity(double mean_depth, double lo, double hi);

}  // namespace sheetkit

#endif  // SHEETKIT_OBJECT_VIEW_H_
