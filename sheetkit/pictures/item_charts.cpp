#include "pictures/item_charts.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "pictures/svg_text.h"
#include "text/text.h"

namespace sheetkit {

namespace {

constexpr int64_t max_bars = 60, max_cells = 100;
constexpr int shades = 9;
constexpr double picture_width = 1100;
constexpr double label_size = 11;  // of the classes bound-label and the counts
// The panels' plot boxes: both panels share top and height; the shapes' box
// is at most this wide and high, and no thinner than thinnest_box.
constexpr double panel_top = 100, panel_height = 300, shape_box = 300, thinnest_box = 100;

std::string shade_class(int level) { return "shade-" + std::to_string(level); }

// The widest bar (in whole units of area) whose last bar is nearly full:
// a bar holding fewer areas than the others would look like a dip.
int64_t bar_area(int64_t span) {
  if (span <= max_bars) return 1;
  int64_t best = 0;
  double best_gap = 2;
  for (int64_t bars = max_bars; bars >= max_bars / 2; --bars) {
    const int64_t b = (span + bars - 1) / bars;
    const double gap = static_cast<double>(b * bars - span) / static_cast<double>(b);
    if (gap < best_gap - 1e-9) best = b, best_gap = gap;
  }
  return best;
}

// The chart spans the object's side only when the items come near it;
// next to a 20000 long object, items 400 long would shrink to a line.
int64_t chart_span(int64_t side, int64_t largest_item) {
  return largest_item == 0 || 2 * largest_item >= side ? std::max(side, largest_item)
                                                       : largest_item;
}

// A label that may go in one of several places.
struct placement {
  svg::point at;
  svg::anchor where;
};

// The first of `candidates` whose box meets none of `taken`, or else the
// first that meets no label (those from taken[labels] on), or else the
// first; adds its box to `taken`.
placement place_label(const std::vector<placement>& candidates, const std::string& label,
                      bool upward, std::vector<svg::box>& taken, std::size_t labels) {
  auto box_of = [&](const placement& p) {
    return svg::text_box(p.at, label, label_size, p.where, upward);
  };
  auto free_from = [&](std::size_t first, const svg::box& b) {
    return std::none_of(taken.begin() + static_cast<std::ptrdiff_t>(first), taken.end(),
                        [&](const svg::box& o) { return b.overlaps(o); });
  };
  placement chosen = candidates[0];
  auto found = std::find_if(candidates.begin(), candidates.end(),
                            [&](const placement& p) { return free_from(0, box_of(p)); });
  if (found == candidates.end())
    found = std::find_if(candidates.begin(), candidates.end(),
                         [&](const placement& p) { return free_from(labels, box_of(p)); });
  if (found != candidates.end()) chosen = *found;
  taken.push_back(box_of(chosen));
  return chosen;
}

const char* anchor_class(svg::anchor where) {
  return where == svg::anchor::start    ? "bound-label"
         : where == svg::anchor::middle ? "bound-label middle"
                                        : "bound-label end";
}

// A bound's line with its name beside it inside the plot: the lower bound's
// left of its line and the upper's right, where there is room, and a row
// apart so that the two never run into each other.
void bound_line(svg::canvas& c, const svg::axis& x, const svg::axis& y, double value,
                const std::string& label, bool lower) {
  const double px = x.px(value), lw = svg::text_width(label, label_size);
  c.line({px, y.p0}, {px, y.p1}, "bound");
  const bool left_side = lower ? px - 5 - lw >= x.p0 : px + 5 + lw > x.p1;
  c.text({left_side ? px - 5 : px + 5, y.p1 + (lower ? 14 : 29)}, label,
         left_side ? "bound-label end" : "bound-label");
}

// Length x width = a, from the chart's top to its right edge.
void area_curve(svg::canvas& c, const svg::axis& x, const svg::axis& y, double a) {
  if (a <= 0) return;
  const double l0 = std::max(a / y.hi, 0.5);
  if (l0 >= x.hi) return;
  std::vector<svg::point> points;
  for (int k = 0; k <= 80; ++k) {
    const double l = l0 * std::pow(x.hi / l0, k / 80.0);
    points.push_back({x.px(l), y.px(std::min(a / l, y.hi))});
  }
  c.polyline(points, "area-curve");
}

// A cell's shade, 1 to shades, on a log scale: counts span orders of magnitude.
int shade(int64_t n, int64_t most) {
  const double t =
      most == 1 ? 0.5 : std::log(static_cast<double>(n)) / std::log(static_cast<double>(most));
  return 1 + static_cast<int>(std::lround(t * (shades - 1)));
}

}  // namespace

item_charts::item_charts(const run_info& run, const run_summary& sum)
    : run_(run), sum_(sum), object_(run) {
  int64_t lo = sum.items > 0 ? sum.min_area : 1, hi = sum.items > 0 ? sum.max_area : object_.area();
  if (run.answers) {
    lo = std::min<int64_t>(lo, run.answers->minarea);
    hi = std::max<int64_t>(hi, run.answers->maxarea);
  }
  first_area_ = lo;
  const int64_t span = std::max<int64_t>(hi - lo + 1, 1);
  bar_area_ = bar_area(span);
  bars_.assign(static_cast<std::size_t>((span + bar_area_ - 1) / bar_area_), 0);
  length_span_ = chart_span(object_.length, sum.items > 0 ? sum.max_length : 0);
  width_span_ = chart_span(object_.width, sum.items > 0 ? sum.max_width : 0);

  // One scale for lengths and widths and square cells of as many lengths as
  // widths, so that shapes look as they are; a side that would come out
  // thinner than thinnest_box is stretched, and its cells group fewer units
  // to stay about square on the picture.
  const int64_t cell = std::max((length_span_ + max_cells - 1) / max_cells,
                                (width_span_ + max_cells - 1) / max_cells);
  const double scale = shape_box / std::max(length_headroom(), width_headroom());
  box_length_ = length_headroom() * scale;
  box_width_ = width_headroom() * scale;
  cell_length_ = cell_width_ = cell;
  if (box_length_ < thinnest_box) {
    stretch_ = thinnest_box / box_length_;
    box_length_ = thinnest_box;
    cell_length_ = std::max<int64_t>(1, std::llround(static_cast<double>(cell) / stretch_));
  } else if (box_width_ < thinnest_box) {
    stretch_ = thinnest_box / box_width_;
    box_width_ = thinnest_box;
    cell_width_ = std::max<int64_t>(1, std::llround(static_cast<double>(cell) / stretch_));
  }
  columns_ = (length_span_ + cell_length_ - 1) / cell_length_;
  rows_ = (width_span_ + cell_width_ - 1) / cell_width_;
  cells_.assign(static_cast<std::size_t>(columns_ * rows_), 0);
}

// Room above and right of the items for the object's lines and names.
double item_charts::length_headroom() const {
  return static_cast<double>(length_span_) * 1.06 + 0.5;
}
double item_charts::width_headroom() const { return static_cast<double>(width_span_) * 1.1 + 0.5; }

void item_charts::add(const instance& inst) {
  const auto bar_count = static_cast<int64_t>(bars_.size());
  for (const auto& r : inst.items) {
    ++bars_[static_cast<std::size_t>(
        std::clamp<int64_t>((r.area - first_area_) / bar_area_, 0, bar_count - 1))];
    const int64_t i = std::clamp<int64_t>((r.length - 1) / cell_length_, 0, columns_ - 1);
    const int64_t j = std::clamp<int64_t>((r.width - 1) / cell_width_, 0, rows_ - 1);
    ++cells_[static_cast<std::size_t>(j * columns_ + i)];
  }
}

void item_charts::render(std::ostream& out, const svg::form& how) const {
  svg::canvas c;
  const std::string title =
      (sum_.instances == 1 ? std::string("Item types of the one instance")
                           : "Item types of all " + std::to_string(sum_.instances) + " instances") +
      " \xE2\x80\x94 " + svg::shorten(run_.instance_file, 60);
  if (!how.bare) {
    c.text({16, 28}, title, "title");
    c.text({16, 50},
           count_of(sum_.items, "item type") + "; object " +
               size_text(object_.length, object_.width) + ", area " +
               std::to_string(object_.area()),
           "subtitle");
  }
  const double below = std::max(histogram(c, how.bare), shapes(c, how.bare));
  static const char* const colours[shades] = {"#dbe9f6", "#c1d9ee", "#9ecae1", "#79b3d9", "#5499c9",
                                              "#3480bb", "#1d64a6", "#0d4a89", "#08306b"};
  c.style("bar", "fill:#4a7fc1");
  for (int l = 0; l < shades; ++l) c.style(shade_class(l + 1), std::string("fill:") + colours[l]);
  c.style("count-light", "fill:#fff;font-size:11px");
  c.style("count-dark", "fill:#111;font-size:11px");
  c.style("bound", "stroke:#1f4e9a;stroke-width:1.5;stroke-dasharray:6 4;fill:none");
  c.style("area-curve", "stroke:#1f4e9a;stroke-width:1.2;stroke-dasharray:2 3;fill:none");
  c.style("bound-label", svg::haloed_text("fill:#1f4e9a;font-size:11px;font-weight:bold", ".9"));
  // A bare picture starts above the panels' titles.
  const double top = how.bare ? panel_top - 32 : 0;
  c.render(out, {0, top, picture_width, below - top}, title, how);
}

std::string item_charts::render(const svg::form& how) const {
  std::ostringstream out;
  render(out, how);
  return std::move(out).str();
}

// Returns the picture's height below the panel's caption.
double item_charts::histogram(svg::canvas& c, bool bare) const {
  const double top = panel_top, h = panel_height, left = 80, w = 470;
  const double a = static_cast<double>(object_.area());
  const auto bar_count = static_cast<int64_t>(bars_.size());
  const svg::axis x{(static_cast<double>(first_area_) - 0.5) / a,
                    (static_cast<double>(first_area_ + bar_count * bar_area_) - 0.5) / a, left,
                    left + w};
  const int64_t most = std::max<int64_t>(1, *std::max_element(bars_.begin(), bars_.end()));
  // headroom above the tallest bar for the bounds' labels
  const svg::axis y{0, static_cast<double>(most) * 1.2, top + h, top};
  c.text({left, top - 14}, "Item areas", "panel-title");
  svg::draw_axes(c, x, svg::make_ticks(x.lo, x.hi, w, true, svg::tick_kind::real), y,
                 svg::make_ticks(0, y.hi, h, false, svg::tick_kind::count),
                 "item area / object area \xE2\x86\x92", "item types \xE2\x86\x92", 22);
  const double bar_px = w / static_cast<double>(bar_count);
  const double gap = bar_px >= 4 ? 1 : 0;
  for (int64_t k = 0; k < bar_count; ++k) {
    const int64_t n = bars_[static_cast<std::size_t>(k)];
    if (n == 0) continue;
    const double py = y.px(static_cast<double>(n));
    c.rect({left + static_cast<double>(k) * bar_px + gap / 2, py, bar_px - gap, y.p0 - py}, "bar");
  }
  c.line({x.p0, y.p0}, {x.p1, y.p0}, "tick");
  c.line({x.p0, y.p0}, {x.p0, y.p1}, "tick");

  std::vector<std::string> notes;
  notes.push_back("Bars count the item types by area, " +
                  (bar_area_ == 1
                       ? std::string("one bar per integer area")
                       : "each bar " + std::to_string(bar_area_) + " units of area wide") +
                  "; the area is shown as a share of the object's area " +
                  std::to_string(object_.area()) + ".");
  if (run_.answers) {
    const auto& p = *run_.answers;
    bound_line(c, x, y, static_cast<double>(p.minarea) / a, "minarea " + std::to_string(p.minarea),
               true);
    bound_line(c, x, y, static_cast<double>(p.maxarea) / a, "maxarea " + std::to_string(p.maxarea),
               false);
    notes.push_back("Dashed lines: the admissible areas minarea " + std::to_string(p.minarea) +
                    " and maxarea " + std::to_string(p.maxarea) + " from the bounds " +
                    shortest_fixed(p.minrelsize) + " and " + shortest_fixed(p.maxrelsize) + ".");
  } else {
    notes.push_back("The area bounds are not marked: only the answers file tells them.");
  }
  if (sum_.items == 0)
    c.text({(x.p0 + x.p1) / 2, (y.p0 + y.p1) / 2}, "no item types", "axis-title middle");
  if (bare) return top + h + 46;
  return svg::caption(c, 16, top + h + 62, left + w - 16, notes);
}

// The chart of lengths against widths, its box standing on the histogram's
// baseline; returns the picture's height below its caption.
double item_charts::shapes(svg::canvas& c, bool bare) const {
  const double bottom = panel_top + panel_height;
  const auto yt = svg::make_ticks(0, width_headroom(), box_width_, false, svg::tick_kind::integer);
  shape_plot p;
  p.left = 700 + std::max(0.0, svg::widest(yt) - 30);
  p.x = {0, length_headroom(), p.left, p.left + box_length_};
  p.y = {0, width_headroom(), bottom, bottom - box_width_};
  c.text({p.left, p.y.p1 - 14}, "Item lengths against widths", "panel-title");
  svg::draw_axes(c, p.x,
                 svg::make_ticks(p.x.lo, p.x.hi, box_length_, true, svg::tick_kind::integer), p.y,
                 yt, "length \xE2\x86\x92", "width \xE2\x86\x92", p.left - svg::widest(yt) - 22);
  std::vector<svg::box> taken = draw_cells(c, p);  // filled cells, then the object's names
  const std::size_t filled = taken.size();
  c.line({p.x.p0, p.y.p0}, {p.x.p1, p.y.p0}, "tick");
  c.line({p.x.p0, p.y.p0}, {p.x.p0, p.y.p1}, "tick");
  std::vector<std::string> notes = {cells_note()};
  notes.push_back(object_sides_marked(c, p, taken, filled));
  write_counts(c, p, taken, filled);
  if (run_.answers)
    for (const int32_t a : {run_.answers->minarea, run_.answers->maxarea})
      area_curve(c, p.x, p.y, a);
  shade_key(c, p);
  if (bare) return bottom + 46;
  return svg::caption(c, p.left - 70, bottom + 62, picture_width - (p.left - 70) - 16, notes);
}

// A cell holds the values i cell_length_ + 1 .. (i + 1) cell_length_, centred on them.
svg::box item_charts::cell_box(const shape_plot& p, int64_t i, int64_t j) const {
  const double x0 = p.x.px(static_cast<double>(i * cell_length_) + 0.5);
  const double x1 = p.x.px(static_cast<double>((i + 1) * cell_length_) + 0.5);
  const double y0 = p.y.px(static_cast<double>((j + 1) * cell_width_) + 0.5);
  const double y1 = p.y.px(static_cast<double>(j * cell_width_) + 0.5);
  return svg::box{x0, y0, x1 - x0, y1 - y0};
}

int64_t item_charts::most_in_a_cell() const {
  return std::max<int64_t>(1, *std::max_element(cells_.begin(), cells_.end()));
}

std::vector<svg::box> item_charts::draw_cells(svg::canvas& c, const shape_plot& p) const {
  const int64_t most = most_in_a_cell();
  std::vector<svg::box> filled;
  for (int64_t j = 0; j < rows_; ++j)
    for (int64_t i = 0; i < columns_; ++i)
      if (const int64_t n = cells_[static_cast<std::size_t>(j * columns_ + i)]; n > 0) {
        filled.push_back(cell_box(p, i, j));
        c.rect(filled.back(), shade_class(shade(n, most)));
      }
  return filled;
}

// The object's sides, where the items come near them, named where no cell
// is: usually the top right, since no item is both long and wide. Returns
// the caption's sentence on them.
std::string item_charts::object_sides_marked(svg::canvas& c, const shape_plot& p,
                                             std::vector<svg::box>& taken,
                                             std::size_t filled) const {
  const svg::axis &x = p.x, &y = p.y;
  const bool show_length = object_.length <= length_span_,
             show_width = object_.width <= width_span_;
  const double ox = x.px(static_cast<double>(object_.length)),
               oy = y.px(static_cast<double>(object_.width));
  if (show_width) {
    c.line({x.p0, oy}, {x.p1, oy}, "bound");
    const std::string label = "object width " + std::to_string(object_.width);
    const placement at = place_label({{{x.p0 + 5, oy - 5}, svg::anchor::start},
                                      {{x.p1 - 5, oy - 5}, svg::anchor::end},
                                      {{x.p0 + 5, oy + 14}, svg::anchor::start},
                                      {{x.p1 - 5, oy + 14}, svg::anchor::end}},
                                     label, false, taken, filled);
    c.text(at.at, label, anchor_class(at.where));
  }
  if (show_length) {
    c.line({ox, y.p0}, {ox, y.p1}, "bound");
    const std::string label = "object length " + std::to_string(object_.length);
    // Turned text hangs from the top (below the width's line) or stands on
    // the bottom, left or right of the line; its glyphs lie left of its anchor.
    const double hang = show_width ? oy + 6 : y.p1 + 4, right = ox + 5 + 0.8 * label_size;
    const placement at = place_label({{{ox - 5, hang}, svg::anchor::end},
                                      {{right, hang}, svg::anchor::end},
                                      {{ox - 5, y.p0 - 5}, svg::anchor::start},
                                      {{right, y.p0 - 5}, svg::anchor::start}},
                                     label, true, taken, filled);
    c.text(at.at, label, anchor_class(at.where), {.upward = true});
  }
  std::string sides =
      show_length && show_width ? "Dashed: the object's length and width."
      : show_length ? "Dashed: the object's length; its width, " + std::to_string(object_.width) +
                          ", lies far above the widest item."
      : show_width ? "Dashed: the object's width; its length, " + std::to_string(object_.length) +
                         ", lies far right of the longest item."
                   : "The object (" + size_text(object_.length, object_.width) +
                         ") lies far beyond the items.";
  if (run_.answers) sides += " Dotted: length \xC3\x97 width = minarea and = maxarea.";
  return sides;
}

// Counts in the cells wide enough to hold them, unless an object's name is there.
void item_charts::write_counts(svg::canvas& c, const shape_plot& p,
                               const std::vector<svg::box>& taken, std::size_t filled) const {
  const int64_t most = most_in_a_cell();
  for (int64_t j = 0; j < rows_; ++j)
    for (int64_t i = 0; i < columns_; ++i) {
      const int64_t n = cells_[static_cast<std::size_t>(j * columns_ + i)];
      if (n == 0) continue;
      const svg::box b = cell_box(p, i, j);
      const std::string label = svg::count_label(n);
      const svg::point at{b.x + b.w / 2, b.y + b.h / 2 + 4};
      const svg::box lb = svg::text_box(at, label, label_size, svg::anchor::middle);
      if (b.w < svg::text_width(label, label_size) + 6 || b.h < 15 ||
          std::any_of(taken.begin() + static_cast<std::ptrdiff_t>(filled), taken.end(),
                      [&](const svg::box& o) { return lb.overlaps(o); }))
        continue;
      c.text(at, label, shade(n, most) >= 5 ? "count-light middle" : "count-dark middle");
    }
}

std::string item_charts::cells_note() const {
  std::string note =
      cell_length_ == 1 && cell_width_ == 1
          ? std::string(
                "Each cell is one length and one width; its shade tells how many item "
                "types have them (log scale).")
          : "Each cell groups " + count_of(cell_length_, "length") + " by " +
                count_of(cell_width_, "width") +
                "; its shade tells how many item types fall in it (log scale).";
  if (stretch_ > 1) {
    const bool widths = box_width_ == thinnest_box;
    note += std::string(" Not to scale: the ") + (widths ? "widths" : "lengths") + " are drawn " +
            (stretch_ >= 10 ? std::to_string(std::llround(stretch_)) : svg::decimal(stretch_)) +
            " times longer so that the chart stays readable.";
  }
  return note;
}

void item_charts::shade_key(svg::canvas& c, const shape_plot& p) const {
  const int64_t most = most_in_a_cell();
  const double kx = p.x.p1 + 18, top = p.y.p1, ky = top + 20;
  c.text({kx, top + 6}, "item types", "scale-label");
  for (int l = shades; l >= 1; --l) c.rect({kx, ky + (shades - l) * 14, 14, 14}, shade_class(l));
  c.text({kx + 18, ky + 11}, svg::count_label(most), "scale-label");
  if (most > 1) c.text({kx + 18, ky + shades * 14 - 3}, "1", "scale-label");
}

}  // namespace sheetkit
