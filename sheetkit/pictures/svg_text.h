// Text on a picture: numbers as people read them, and layout without font
// metrics. Widths are estimated generously for a sans-serif font, so that a
// label judged to fit does fit.
#ifndef SHEETKIT_SVG_TEXT_H_
#define SHEETKIT_SVG_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/svg.h"

namespace sheetkit::svg {

/// `v` to `significant` significant digits, never in exponent form, without
/// trailing zeros; digits before the point are all kept: 1000 stays "1000"
/// and 0.000123 is "0.000123".
std::string decimal(double v, int significant = 3);

/// A share (0.37) as a percentage to three significant digits ("37%").
std::string percent(double share);

/// A count for a scale: "20k" and "1.5M" read faster than "20000" and
/// "1500000" and stay narrow, but only where they are exact; otherwise all digits.
std::string count_label(int64_t n);

/// Labels for the counts of one axis, all in one unit: the unit count_label
/// gives the largest where every count can be said in it (9000 beside
/// 12000 is "9k"), else each in full.
std::vector<std::string> count_labels(const std::vector<int64_t>& counts);

/// Estimated width in pixels of text at font size `size` (generous).
double text_width(std::string_view s, double size);

/// Where a text's anchor sits on the text.
enum class anchor { start, middle, end };

/// The box that text drawn at `at` (on its baseline) takes at font size
/// `size`, generously; `upward` for text turned to read upwards.
box text_box(point at, std::string_view s, double size, anchor where, bool upward = false);

/// A name cut to at most `max_points` code points, keeping both ends (its
/// folder and its extension tell most) around an ellipsis.
std::string shorten(std::string_view name, std::size_t max_points);

/// Text broken at spaces into lines no wider than `width` at font size
/// `size` (a single word wider than that stays on its own line).
std::vector<std::string> wrap(std::string_view text, double width, double size);

/// Caption paragraphs, wrapped to `width`, from the baseline `y` down;
/// returns the baseline after the last line.
double caption(canvas& c, double x, double y, double width,
               const std::vector<std::string>& paragraphs);

}  // namespace sheetkit::svg

#endif  // SHEETKIT_SVG_TEXT_H_
