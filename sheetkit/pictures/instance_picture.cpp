#include "pictures/instance_picture.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "pictures/object_view.h"
#include "pictures/picture.h"
#include "pictures/svg_text.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// Numbers in the middle of their defects, where they fit and meet no number
// already placed; returns which defects carry one.
std::vector<bool> number_defects(svg::canvas& c, const std::vector<defect_mark>& marks) {
  const auto n = static_cast<int64_t>(marks.size());
  // Big numbers suit a few large defects; in a crowd they would shout.
  const double largest = n <= 20 ? 20 : n <= 100 ? 15 : 12;
  std::vector<svg::box> placed;
  std::vector<bool> numbered(marks.size(), false);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const svg::box& b = marks[i].drawn;
    const std::string label = std::to_string(i + 1);
    const double per_char = 0.62 * static_cast<double>(label.size());
    const double size =
        std::min({largest, (b.w - 4) / per_char, b.h - 2, 0.5 * std::min(b.w, b.h) + 6});
    if (size < 9) continue;
    const svg::box l{b.x + b.w / 2 - size * per_char / 2 - 2, b.y + b.h / 2 - size / 2 - 2,
                     size * per_char + 4, size + 4};
    if (std::any_of(placed.begin(), placed.end(), [&](const svg::box& o) { return l.overlaps(o); }))
      continue;
    placed.push_back(l);
    numbered[i] = true;
    c.text({b.x + b.w / 2, b.y + b.h / 2 + size * 0.36}, label, "defect-number",
           {.font_size = size});
  }
  return numbered;
}

constexpr double legend_size = 11, legend_line = 14;
// A long list of defects may widen the picture up to this: the width of the
// item charts, which pages show at their own size, the text still legible.
constexpr double wide_picture = 1100;

// "12: 30 × 2 at (400, 17)": a defect's number, size and lower left corner.
std::string legend_entry(std::size_t index, const placed_defect& d) {
  return std::to_string(index + 1) + ": " + size_text(int64_t{d.x2} - d.x1, int64_t{d.y2} - d.y1) +
         " at (" + std::to_string(d.x1) + ", " + std::to_string(d.y1) + ")";
}

// More unnumbered defects than this are not listed in the picture.
constexpr std::size_t max_listed_defects = 200;

// The defects without a number on the object, listed so that a printed
// picture identifies every defect: in columns beside the object as tall as
// it is (at least 12 lines), where three such columns hold them all or the
// picture stays within wide_picture; else below the axes across the
// picture's width, and for more than 12 lines across wide_picture. Widens
// `v` to hold it; returns how far it reaches below the axes' titles.
double defect_legend(svg::canvas& c, object_view& v, const std::vector<std::string>& entries) {
  if (entries.empty()) return 0;
  const auto count = static_cast<int64_t>(entries.size());
  std::vector<double> widths;
  for (const auto& e : entries) widths.push_back(svg::text_width(e, legend_size) + 18);
  // The columns' left edges, then their right end: each column as wide as
  // its widest entry, so that short entries make room for more columns.
  const auto edges = [&](int64_t lines) {
    std::vector<double> at{0};
    for (auto k = widths.begin(); k < widths.end(); k += std::min(lines, widths.end() - k))
      at.push_back(at.back() + *std::max_element(k, k + std::min(lines, widths.end() - k)));
    return at;
  };
  // The fewest lines whose columns fit in `width` (one column where none do).
  const auto lines_within = [&](double width) {
    int64_t lo = 1, hi = count;
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (edges(mid).back() <= width)
        hi = mid;
      else
        lo = mid + 1;
    }
    return lo;
  };
  const auto beside_lines =
      std::max<int64_t>(12, static_cast<int64_t>((v.y.length() - 18) / legend_line));
  const std::vector<double> beside_edges = edges(beside_lines);
  const bool beside =
      beside_edges.size() <= 4 || v.x.p1 + 28 + beside_edges.back() + 16 <= wide_picture;
  const double x0 = beside ? v.x.p1 + 28 : 16;
  const double y0 = beside ? v.y.p1 : v.y.p0 + 64;  // the heading's top
  int64_t lines = beside_lines;
  if (!beside) {
    lines = lines_within(v.picture_width - 32);
    if (lines > 12) lines = lines_within(std::max(v.picture_width, wide_picture) - 32);
  }
  const std::vector<double> at = edges(lines);
  const std::string heading = "Defects without a number: size at (x, y)";
  c.text({x0, y0 + 12}, heading, "legend-title");
  for (int64_t k = 0; k < count; ++k)
    c.text({x0 + at[static_cast<std::size_t>(k / lines)],
            y0 + 12 + legend_line * static_cast<double>(k % lines + 1)},
           entries[static_cast<std::size_t>(k)], "legend");
  const double right = x0 + std::max(at.back(), svg::text_width(heading, 12) + 8);
  v.picture_width = std::max(v.picture_width, right + 16);
  const double bottom = y0 + 12 + legend_line * static_cast<double>(std::min(lines, count)) + 6;
  return std::max(0.0, bottom - (v.y.p0 + 44));
}

// What the caption says about the numbers, true for all, some or none shown.
std::string numbers_note(int64_t numbered, int64_t defects, bool listed, int64_t first_line,
                         const std::string& defect_file) {
  if (numbered == defects)
    return "the defects are numbered in file order, and where they overlap the colour is darker.";
  // Defect k of the instance stands on line first_line + k - 1.
  const std::string why =
      listed
          ? "too small or too crowded to hold a number, are listed with their size and lower "
            "left corner"
          : "too small or too crowded to hold a number, are in " + svg::shorten(defect_file, 40) +
                (first_line > 0 ? " from line " + std::to_string(first_line) + " on" : "") +
                ", in the same order, and each shows its place when pointed at";
  if (numbered == 0)
    return "none is numbered: all, " + why + "; where they overlap the colour is darker.";
  return std::to_string(numbered) + " of the " + std::to_string(defects) +
         " defects carry their number in file order; the others, " + why +
         ". Where defects overlap the colour is darker.";
}

}  // namespace

void render_instance(std::ostream& out, const run_info& run, const instance& inst,
                     int64_t instances, const svg::form& how) {
  object_view v = place_object(object_sides(run));
  svg::canvas c;
  const std::string title = "Instance " + std::to_string(inst.number) + " of " +
                            std::to_string(instances) + " \xE2\x80\x94 " +
                            svg::shorten(run.instance_file, 60);
  std::string sub = "object " + size_text(v.length, v.width) +
                    " (length \xC3\x97 width); items from line " + std::to_string(inst.item_line) +
                    " of " + svg::shorten(run.instance_file, 40);
  if (!run.defect_file.empty())
    sub += ", defects from line " + std::to_string(inst.defect_line) + " of " +
           svg::shorten(run.defect_file, 40);
  start_object(c, v, title, sub, how.bare);

  const auto n = static_cast<int64_t>(inst.defects.size());
  double area = 0;
  for (const auto& d : inst.defects)
    area += static_cast<double>(int64_t{d.x2} - d.x1) * static_cast<double>(int64_t{d.y2} - d.y1);
  const double object_area = static_cast<double>(v.length) * static_cast<double>(v.width);
  const double opacity = stacked_opacity(area / object_area, 0.12, 0.55);
  // Rectangles first, numbers after, so that no rectangle hides a number.
  bool enlarged = false;
  std::vector<defect_mark> marks;
  marks.reserve(inst.defects.size());
  for (std::size_t i = 0; i < inst.defects.size(); ++i) {
    const auto& d = inst.defects[i];
    marks.push_back(mark_defect(v, d));
    enlarged = enlarged || marks.back().enlarged;
    draw_defect(c, marks.back(),
                "defect " + std::to_string(i + 1) + ": (" + std::to_string(d.x1) + ", " +
                    std::to_string(d.y1) + ") to (" + std::to_string(d.x2) + ", " +
                    std::to_string(d.y2) + ")");
  }
  const std::vector<bool> numbered = number_defects(c, marks);
  std::vector<std::string> unnumbered;
  for (std::size_t i = 0; i < inst.defects.size(); ++i)
    if (!numbered[i]) unnumbered.push_back(legend_entry(i, inst.defects[i]));
  // A bare picture is the object alone; a list longer than the picture
  // could hold would dwarf the object, and the defect file has it whole.
  const bool listed = !how.bare && unnumbered.size() <= max_listed_defects;
  const double below = listed ? defect_legend(c, v, unnumbered) : 0;

  std::vector<std::string> notes;
  std::string counts =
      count_of(static_cast<int64_t>(inst.items.size()), "item type") + ", " + count_of(n, "defect");
  if (run.defect_file.empty())
    counts += " (the run has no defect file).";
  else if (n == 0)
    counts += ".";
  else
    counts += "; " + numbers_note(n - static_cast<int64_t>(unnumbered.size()), n, listed,
                                  inst.defect_line, run.defect_file);
  notes.push_back(counts);
  if (enlarged) notes.push_back(enlarged_defects_note());
  const svg::box frame = finish_object(c, v, below, notes, how.bare);
  c.style("defect", "fill:#d62728;fill-opacity:" + svg::coordinate(opacity) +
                        ";stroke:#7a0c0c;stroke-width:.75;stroke-opacity:" +
                        svg::coordinate(std::min(0.8, 4 * opacity)));
  c.style("defect-number",
          svg::haloed_text("font-weight:bold;fill:#111;text-anchor:middle", ".85"));
  if (!unnumbered.empty()) {
    c.style("legend-title", "font-size:12px;font-weight:bold;fill:#222");
    c.style("legend", "font-size:11px;fill:#222");
  }
  c.render(out, frame, title, how);
}

std::string render_instance(const run_info& run, const instance& inst, int64_t instances,
                            const svg::form& how) {
  std::ostringstream out;
  render_instance(out, run, inst, instances, how);
  return std::move(out).str();
}

}  // namespace sheetkit
