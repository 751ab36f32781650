// Axes of a plot: a linear scale from values to pixels, ticks at round
// values, and the grid, tick marks, labels and titles drawn on a canvas.
#ifndef SHEETKIT_SVG_AXES_H_
#define SHEETKIT_SVG_AXES_H_

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/svg.h"

namespace sheetkit::svg {

/// A linear map from values [lo, hi] to pixels [p0, p1] (p1 < p0 for a
/// vertical axis, whose values grow upwards).
struct axis {
  double lo = 0, hi = 1, p0 = 0, p1 = 1;
  /// The pixel of value `v`.
  double px(double v) const { return p0 + (v - lo) / (hi - lo) * (p1 - p0); }
  /// The axis's length in pixels.
  double length() const { return std::abs(p1 - p0); }
};

/// A tick: its value and its label.
struct tick {
  double value;
  std::string label;
};

/// How tick values are labelled: integers (steps of at least 1), reals
/// (with the decimals their step needs), or counts (as count_label).
enum class tick_kind { integer, real, count };

/// Ticks at round values (1, 2 or 5 times a power of ten) from `lo` to
/// `hi`, over `px` pixels, as many as fit: `horizontal` labels need their
/// width, vertical ones about two lines of text.
std::vector<tick> make_ticks(double lo, double hi, double px, bool horizontal, tick_kind kind);

/// The estimated width of the widest tick label.
double widest(const std::vector<tick>& ticks);

/// Grid lines, tick marks and labels of the plot box spanned by `x` and `y`
/// (y.p0 is its bottom), the axis titles under the box and, turned, at
/// `ytitle_x` left of it.
void draw_axes(canvas& c, const axis& x, const std::vector<tick>& xt, const axis& y,
               const std::vector<tick>& yt, std::string_view xtitle, std::string_view ytitle,
               double ytitle_x);

}  // namespace sheetkit::svg

#endif  // SHEETKIT_SVG_AXES_H_
