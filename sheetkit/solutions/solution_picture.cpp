#include "solutions/solution_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/text.h"
#include "pictures/object_view.h"
#include "pictures/picture.h"
#include "pictures/svg_text.h"

namespace sheetkit {

namespace {

// Cut levels drawn, heaviest first; deeper levels look like the last.
constexpr int cut_styles = 4;

std::string percent(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f%%", 100 * v);
  return text;
}

// The box of x1..x2, y1..y2 in units on the picture (y grows upwards on the object).
svg::box to_box(const object_view& v, double x1, double y1, double x2, double y2) {
  const double left = v.x.px(x1), right = v.x.px(x2);
  const double top = v.y.px(y2), bottom = v.y.px(y1);
  return {left, top, right - left, bottom - top};
}

// A type's fill: hues a golden angle apart, so that neighbouring types differ.
std::string type_class(int64_t type) { return std::string("t") + std::to_string(type % 24); }

// Diagonal lines across `b`, clipped to it.
void hatch(svg::canvas& c, const svg::box& b) {
  const double step = 5;
  for (double s = step; s < b.w + b.h; s += step) {
    // The line x + y = s in the box's own coordinates, from its lower left.
    const double x0 = std::max(0.0, s - b.h), x1 = std::min(b.w, s);
    if (x1 <= x0) continue;
    c.line({b.x + x0, b.y + b.h - (s - x0)}, {b.x + x1, b.y + b.h - (s - x1)}, "hatch");
  }
}

}  // namespace

void render_solution(std::ostream& out, const run_info& run, const instance& inst,
                     const solution& s, const solution_report& report, const svg::form& how) {
  const object_view v = place_object(object_sides(run));
  svg::canvas c;
  const std::string title = "Instance " + std::to_string(inst.number) + " solved \xE2\x80\x94 " +
                            svg::shorten(s.file, 60);
  // Each count names the file it comes from.
  std::string sub = "object " + size_text(v.length, v.width) + "; " +
                    count_of(static_cast<int64_t>(inst.items.size()), "item type") + " from " +
                    svg::shorten(run.instance_file, 40);
  if (!run.defect_file.empty())
    sub += ", " + count_of(static_cast<int64_t>(inst.defects.size()), "defect") + " from " +
           svg::shorten(run.defect_file, 40);
  start_object(c, v, title, sub, how.bare);

  // The items, each filled by its type.
  const std::size_t drawn = std::min(s.items.size(), max_drawn_items);
  std::vector<svg::box> boxes;
  boxes.reserve(drawn);
  for (std::size_t k = 0; k < drawn; ++k) {
    const placement& p = s.items[k];
    int64_t l = p.length, w = p.width;
    if (l < 0 || w < 0) {
      if (p.item_type < 0 || p.item_type >= static_cast<int64_t>(inst.items.size())) {
        boxes.push_back({});
        continue;
      }
      const rectangle& t = inst.items[static_cast<std::size_t>(p.item_type)];
      l = p.rotated ? t.width : t.length;
      w = p.rotated ? t.length : t.width;
    }
    const svg::box b = to_box(v, static_cast<double>(p.x), static_cast<double>(p.y),
                              static_cast<double>(p.x) + static_cast<double>(l),
                              static_cast<double>(p.y) + static_cast<double>(w));
    boxes.push_back(b);
    c.rect(b, std::string("item ") + type_class(p.item_type),
           "item type " + std::to_string(p.item_type) + " at (" + std::to_string(p.x) + ", " +
               std::to_string(p.y) + "), " + std::to_string(l) + " x " + std::to_string(w) +
               (p.line > 0 ? ", line " + std::to_string(p.line) : ""));
  }

  // A guillotine tree's cuts, between neighbouring pieces of each node.
  int deepest = 0;
  if (s.format == solution_format::guillotine) {
    std::unordered_map<int64_t, std::vector<std::size_t>> pieces;
    for (std::size_t k = 0; k < s.nodes.size(); ++k)
      if (s.nodes[k].parent >= 0) pieces[s.nodes[k].parent].push_back(k);
    for (const cut_node& p : s.nodes) {
      const auto found = pieces.find(p.id);
      if (found == pieces.end() || found->second.size() < 2) continue;
      const int level = static_cast<int>(std::min<int64_t>(p.depth + 1, cut_styles));
      deepest = std::max(deepest, static_cast<int>(p.depth + 1));
      const std::string cls = "cut cut" + std::to_string(level);
      for (const std::size_t k : found->second) {
        const cut_node& n = s.nodes[k];
        const bool along_x = n.y == p.y && n.width == p.width;
        const double px1 = static_cast<double>(p.x), py1 = static_cast<double>(p.y);
        const double px2 = px1 + static_cast<double>(p.length), py2 = py1 + static_cast<double>(p.width);
        if (along_x && n.x > p.x) {
          const double x = v.x.px(static_cast<double>(n.x));
          c.line({x, v.y.px(py1)}, {x, v.y.px(py2)}, cls);
        } else if (!along_x && n.y > p.y) {
          const double y = v.y.px(static_cast<double>(n.y));
          c.line({v.x.px(px1), y}, {v.x.px(px2), y}, cls);
        }
      }
    }
  }

  // Labels where they fit: the type's number.
  std::size_t labelled = 0;
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    const svg::box& b = boxes[k];
    const std::string label = std::to_string(s.items[k].item_type);
    const double per_char = 0.62 * static_cast<double>(label.size());
    const double size = std::min({14.0, (b.w - 3) / per_char, b.h - 2});
    if (size < 7) continue;
    ++labelled;
    c.text({b.x + b.w / 2, b.y + b.h / 2 + size * 0.36}, label, "label", {.font_size = size});
  }

  // Our defects, hatched, on top of the items.
  bool enlarged = false;
  for (std::size_t i = 0; i < inst.defects.size(); ++i) {
    const placed_defect& d = inst.defects[i];
    const defect_mark m = mark_defect(v, d);
    enlarged = enlarged || m.enlarged;
    draw_defect(c, m,
                "defect " + std::to_string(i) + ": (" + std::to_string(d.x1) + ", " +
                    std::to_string(d.y1) + ") to (" + std::to_string(d.x2) + ", " +
                    std::to_string(d.y2) + ")");
    hatch(c, m.drawn);
  }

  // The violations that happen at a place, numbered as the check lists them.
  int64_t outlined = 0;
  for (std::size_t i = 0; i < report.violations.size(); ++i) {
    const violation& bad = report.violations[i];
    if (!bad.has_area) continue;
    ++outlined;
    svg::box b = to_box(v, static_cast<double>(bad.x1), static_cast<double>(bad.y1),
                        static_cast<double>(bad.x2), static_cast<double>(bad.y2));
    // Even a sliver of overlap is seen.
    if (b.w < 6) b = {b.x + b.w / 2 - 3, b.y, 6, b.h};
    if (b.h < 6) b = {b.x, b.y + b.h / 2 - 3, b.w, 6};
    c.rect(b, "violation", bad.text);
    c.text({b.x + b.w + 2, b.y + 11}, std::to_string(i + 1), "violation-number");
  }

  const solution_figures& f = report.figures;
  std::vector<std::string> notes;
  notes.push_back(count_of(f.items_placed, "item") + " of " + count_of(f.distinct_types, "type") +
                  " placed, area " + std::to_string(f.placed_area) + ": " +
                  percent(f.utilisation()) + " of the usable area " +
                  std::to_string(f.usable_area) + "; gap " + percent(f.gap()) +
                  " to the area bound " + std::to_string(f.area_bound) + ".");
  if (report.feasible()) {
    notes.push_back("Feasible: no violation.");
  } else {
    std::string line = count_of(report.violation_count, "violation") + "; ";
    line += outlined == 0 ? "none of those listed has a place to mark."
                          : std::to_string(outlined) +
                                " outlined in red, numbered as solution check lists them.";
    notes.push_back(line);
  }
  std::string items_note = "Items are filled by type";
  items_note += labelled == drawn ? " and labelled with it"
                                  : "; " + std::to_string(labelled) + " of " +
                                        std::to_string(drawn) + " are large enough for its number";
  items_note += "; defects are hatched, on top.";
  if (drawn < s.items.size())
    items_note += " Only the first " + std::to_string(drawn) + " of " +
                  std::to_string(s.items.size()) + " items are drawn.";
  notes.push_back(items_note);
  if (deepest > 0)
    notes.push_back("Cuts are drawn by level, from heavy (level 1) to light (level " +
                    std::to_string(deepest) + ").");
  if (enlarged) notes.push_back(enlarged_defects_note());
  const svg::box frame = finish_object(c, v, 0, notes, how.bare);

  for (int k = 0; k < 24; ++k) {
    const int hue = (k * 137) % 360;
    c.style(std::string("t") + std::to_string(k),
            std::string("fill:hsl(") + std::to_string(hue) + ",55%,78%)");
  }
  c.style("item", "stroke:#333;stroke-width:.5");
  c.style("label", "fill:#222;text-anchor:middle");
  c.style("defect", "fill:#d62728;fill-opacity:.35;stroke:#7a0c0c;stroke-width:.75");
  c.style("hatch", "stroke:#7a0c0c;stroke-width:.8");
  c.style("cut", "fill:none;stroke:#1f3b8a");
  c.style("cut1", "stroke-width:2.5");
  c.style("cut2", "stroke-width:1.6;stroke:#2f64c8");
  c.style("cut3", "stroke-width:1;stroke:#4a90d9");
  c.style("cut4", "stroke-width:.7;stroke:#6aaee8;stroke-dasharray:3 2");
  c.style("violation", "fill:#ff0000;fill-opacity:.12;stroke:#e00000;stroke-width:2");
  c.style("violation-number", svg::haloed_text("font-size:12px;font-weight:bold;fill:#e00000"));
  c.render(out, frame, title, how);
}

}  // namespace sheetkit
