// The picture of the item types' shapes (items.svg): a histogram of their
// areas and a chart of their lengths against their widths.
#ifndef SHEETKIT_ITEM_CHARTS_H_
#define SHEETKIT_ITEM_CHARTS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "files/instance.h"
#include "pictures/picture.h"
#include "pictures/svg.h"
#include "pictures/svg_axes.h"

namespace sheetkit {

/// Counts the item types into at most 60 bars of area and 100 x 100 cells
/// of length and width, whatever the run's size, and draws both with the
/// area bounds and the object's sides marked. Lengths and widths share one
/// scale and a cell as many of each, unless one side of the chart would be
/// too thin to read (the caption then says so).
class item_charts {
 public:
  /// For a run whose first pass gave `sum`; both must outlive the charts.
  /// Throws sheetgen::error when the object has no area to draw on
  /// (object_sides).
  item_charts(const run_info& run, const run_summary& sum);

  /// Takes in the item types of one more instance.
  void add(const instance& inst);

  /// Writes the picture of the item types added so far.
  void render(std::ostream& out, const svg::form& how) const;
  /// The same as a string.
  std::string render(const svg::form& how) const;

 private:
  // Where the chart of lengths against widths is drawn.
  struct shape_plot {
    svg::axis x, y;
    double left = 0;
  };
  double histogram(svg::canvas& c, bool bare) const;
  double shapes(svg::canvas& c, bool bare) const;
  double length_headroom() const;
  double width_headroom() const;
  svg::box cell_box(const shape_plot& p, int64_t i, int64_t j) const;
  int64_t most_in_a_cell() const;
  std::vector<svg::box> draw_cells(svg::canvas& c, const shape_plot& p) const;
  std::string object_sides_marked(svg::canvas& c, const shape_plot& p, std::vector<svg::box>& taken,
                                  std::size_t filled) const;
  void write_counts(svg::canvas& c, const shape_plot& p, const std::vector<svg::box>& taken,
                    std::size_t filled) const;
  std::string cells_note() const;
  void shade_key(svg::canvas& c, const shape_plot& p) const;

  const run_info& run_;
  const run_summary& sum_;
  object_sides object_;
  // Bar k counts the areas first_area_ + k bar_area_ .. first_area_ + (k + 1) bar_area_ - 1.
  int64_t first_area_ = 0, bar_area_ = 1;
  std::vector<int64_t> bars_;
  // The chart spans lengths 1 .. length_span_ and widths 1 .. width_span_ in
  // columns_ x rows_ cells of cell_length_ lengths by cell_width_ widths, on
  // a plot box_length_ x box_width_ pixels, one side stretch_ times longer
  // than to scale.
  int64_t length_span_ = 1, width_span_ = 1;
  int64_t cell_length_ = 1, cell_width_ = 1, columns_ = 1, rows_ = 1;
  double box_length_ = 0, box_width_ = 0, stretch_ = 1;
  std::vector<int64_t> cells_;  // cell (i, j) at j * columns_ + i
};

}  // namespace sheetkit

#endif  // SHEETKIT_ITEM_CHARTS_H_
