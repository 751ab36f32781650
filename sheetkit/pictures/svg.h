// An SVG canvas: rectangles, lines and text written by hand, in the same
// bytes for the same calls on any machine, as a file of its own or as an
// element inside an HTML page.
#ifndef SHEETKIT_SVG_H_
#define SHEETKIT_SVG_H_

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetkit::svg {

/// A point in pixels; y grows downwards, as in SVG.
struct point {
  double x = 0, y = 0;
};

/// An axis-parallel box in pixels: top left corner, width and height.
struct box {
  double x = 0, y = 0, w = 0, h = 0;

  /// Whether the two boxes share some area (touching edges do not count).
  bool overlaps(const box& other) const {
    return x < other.x + other.w && other.x < x + w && y < other.y + other.h && other.y < y + h;
  }
};

/// A coordinate or length in pixels as SVG text: at most two decimals, no
/// trailing zeros, "0" rather than "-0". Short numbers keep big pictures small.
std::string coordinate(double v);

/// Style declarations for text drawn over other shapes: `text`'s own, then
/// a white outline of 3 pixels (`opacity`, such as ".9", when not opaque)
/// painted under the glyphs, which keeps them readable on any fill.
std::string haloed_text(std::string_view text, std::string_view opacity = {});

/// How a picture is written out.
struct form {
  /// The root element's id: unique within an HTML page. Every style rule of
  /// the picture applies only below it, so that two pictures inlined in one
  /// page cannot restyle each other. A letter, then letters, digits, '-' or '_'.
  std::string id = "picture";
  /// With the XML declaration, for a file of its own; without, to be inlined.
  bool standalone = true;
  /// Without title, subtitle and caption: for a figure that a paper captions
  /// itself. What is needed to read the picture (axes, scales, legends) stays.
  bool bare = false;
};

/// Extras for a text element.
struct text_options {
  double font_size = 0;  ///< in pixels; 0: as the element's class says
  bool upward = false;   ///< turned by -90 degrees about its anchor, to read upwards
};

/// Collects the elements of one picture and writes the picture.
///
/// Elements are drawn in the order they are added. Classes name a style
/// given by `style` (or by the base style that every picture has: see
/// svg.cpp); a `cls` argument may hold several class names separated by spaces.
class canvas {
 public:
  /// A rectangle; `tooltip`, when not empty, shows when it is pointed at.
  void rect(const box& b, std::string_view cls, std::string_view tooltip = {});
  /// A straight line.
  void line(point from, point to, std::string_view cls);
  /// A line through the points, in order.
  void polyline(std::span<const point> points, std::string_view cls);
  /// A circle of radius `r` around `centre`.
  void circle(point centre, double r, std::string_view cls);
  /// Text whose anchor (left end, middle or right end as its class says) is
  /// on the baseline at `at`.
  void text(point at, std::string_view s, std::string_view cls, const text_options& options = {});
  /// The elements of `other`, after those already here (its styles are not taken).
  void append(const canvas& other) { body_ += other.body_; }

  /// A style rule for class `cls`, such as style("defect", "fill:#d62728").
  void style(std::string_view cls, std::string_view declarations);

  /// Writes the part of the drawing within `frame` (whose width and height
  /// are rounded up to whole pixels) as a picture of that size on a white
  /// background; a frame starting below y = 0 leaves out what lies above it,
  /// such as the title of a bare picture. Throws sheetgen::error on a bad id.
  void render(std::ostream& out, const box& frame, std::string_view title, const form& how) const;
  /// The same as a string.
  std::string render(const box& frame, std::string_view title, const form& how) const;

 private:
  std::string body_;
  std::vector<std::pair<std::string, std::string>> styles_;
};

}  // namespace sheetkit::svg

#endif  // SHEETKIT_SVG_H_
