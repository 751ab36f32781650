#include "pictures/defect_overlay.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "pictures/svg_text.h"
#include "text/text.h"

namespace sheetkit {

namespace {

constexpr double cell_px = 6;
constexpr int levels = 15;

std::string shade_class(int level) { return "shade-" + std::to_string(level); }

}  // namespace

defect_overlay::defect_overlay(const run_info& run, const run_summary& sum)
    : run_(run), sum_(sum), view_(place_object(object_sides(run))) {
  if (sum.defects > max_rectangles)
    density_.emplace(view_.length, view_.width,
                     std::clamp<int64_t>(std::llround(view_.x.length() / cell_px), 1, view_.length),
                     std::clamp<int64_t>(std::llround(view_.y.length() / cell_px), 1, view_.width));
}

void defect_overlay::add(const instance& inst) {
  for (const auto& d : inst.defects) {
    if (density_) {
      density_->add(d);
    } else {
      const defect_mark m = mark_defect(view_, d);
      enlarged_ = enlarged_ || m.enlarged;
      draw_defect(rectangles_, m);
    }
  }
}

void defect_overlay::render(std::ostream& out, const svg::form& how) const {
  svg::canvas c;
  const std::string title =
      sum_.instances == 1
          ? std::string("Defects of the one instance")
          : "Defects of all " + std::to_string(sum_.instances) + " instances, overlaid";
  const std::string sub = run_.defect_file.empty()
                              ? "object " + size_text(view_.length, view_.width) + "; " +
                                    svg::shorten(run_.instance_file, 60)
                              : "object " + size_text(view_.length, view_.width) + "; " +
                                    count_of(sum_.defects, "defect") + " from " +
                                    svg::shorten(run_.defect_file, 60);
  start_object(c, view_, title, sub, how.bare);
  std::vector<std::string> notes;
  double extra = 0;
  double opacity = 0;
  if (sum_.defects == 0) {
    c.text({(view_.x.p0 + view_.x.p1) / 2, (view_.y.p0 + view_.y.p1) / 2}, "no defects",
           "axis-title middle");
    notes.push_back(run_.defect_file.empty() ? "The run has no defect file."
                                             : "The defect file holds no defects.");
  } else if (!density_) {
    const double object_area = static_cast<double>(view_.length) * static_cast<double>(view_.width);
    opacity = stacked_opacity(sum_.defect_area / object_area, 0.03, 0.6);
    c.append(rectangles_);
    notes.push_back("Each of the " + std::to_string(sum_.defects) +
                    " defects is drawn at opacity " + svg::decimal(opacity) +
                    ": the darker a place, the more defects cover it.");
    if (enlarged_) notes.push_back(enlarged_defects_note());
  } else {
    draw_grid(c, notes);
    extra = 26;
  }
  c.style("defect", "fill:#d62728;fill-opacity:" + svg::coordinate(opacity));
  for (int l = 1; l <= levels; ++l)
    c.style(shade_class(l), "fill:#d62728;fill-opacity:" + svg::coordinate(0.92 * l / levels));
  c.render(out, finish_object(c, view_, extra, notes, how.bare), title, how);
}

std::string defect_overlay::render(const svg::form& how) const {
  std::ostringstream out;
  render(out, how);
  return std::move(out).str();
}

void defect_overlay::draw_grid(svg::canvas& c, std::vector<std::string>& notes) const {
  const defect_density& grid = *density_;
  const int64_t columns = grid.columns(), rows = grid.rows();
  const std::vector<int64_t> covered = grid.covered();
  auto at = [&](int64_t i, int64_t j) { return static_cast<std::size_t>(j * columns + i); };
  auto area = [&](int64_t i, int64_t j) {
    return (grid.column_edge(i + 1) - grid.column_edge(i)) *
           (grid.row_edge(j + 1) - grid.row_edge(j));
  };
  // The sums are exact; only the share of the cell, for its shade, is a quotient.
  double darkest = 0;
  for (int64_t j = 0; j < rows; ++j)
    for (int64_t i = 0; i < columns; ++i)
      darkest = std::max(darkest,
                         static_cast<double>(covered[at(i, j)]) / static_cast<double>(area(i, j)));
  auto level = [&](int64_t i, int64_t j) {
    const int64_t k = covered[at(i, j)];
    if (k == 0) return 0;
    const double share = static_cast<double>(k) / static_cast<double>(area(i, j));
    return std::clamp(static_cast<int>(std::ceil(share / darkest * levels)), 1, levels);
  };
  // Cell edges on whole pixels: translucent neighbours then neither overlap
  // nor leave a hairline between them.
  auto column_px = [&](int64_t i) {
    return std::round(view_.x.px(static_cast<double>(grid.column_edge(i))));
  };
  auto row_px = [&](int64_t j) {
    return std::round(view_.y.px(static_cast<double>(grid.row_edge(j))));
  };
  for (int64_t j = 0; j < rows; ++j)
    for (int64_t i = 0; i < columns;) {
      const int l = level(i, j);
      int64_t end = i + 1;  // runs of one shade become one rectangle
      while (end < columns && level(end, j) == l) ++end;
      if (l > 0)
        c.rect(
            {column_px(i), row_px(j + 1), column_px(end) - column_px(i), row_px(j) - row_px(j + 1)},
            shade_class(l));
      i = end;
    }

  const double share = darkest / static_cast<double>(std::max<int64_t>(sum_.instances, 1));
  const double y = view_.y.p0 + 52, bar = 30;
  c.text({16, y + 10}, "0", "scale-label");
  for (int l = 1; l <= levels; ++l) c.rect({bar + (l - 1) * 12, y, 12, 12}, shade_class(l));
  const std::string top = svg::percent(share);
  c.text({bar + levels * 12 + 5, y + 10}, top, "scale-label");
  c.text({bar + levels * 12 + 5 + svg::text_width(top, 11) + 12, y + 10},
         "share of a cell covered by defects, averaged over the instances", "scale-label");

  const int64_t cell_length = view_.length / columns, cell_width = view_.width / rows;
  const bool even = view_.length % columns == 0 && view_.width % rows == 0;
  notes.push_back("Too many defects (" + std::to_string(sum_.defects) +
                  ") to draw one by one: the object is cut into " + size_text(columns, rows) +
                  " cells of " + size_text(cell_length, cell_width) + " units" +
                  (even ? "" : " (some a unit longer or wider)") +
                  ". Shade: the share of the cell covered by defects, averaged over the " +
                  count_of(sum_.instances, "instance") +
                  " (the defects' areas within the cell, summed exactly, over the cell's area "
                  "times the number of instances; where defects overlap, each counts); darkest " +
                  top + ".");
}

}  // namespace sheetkit
