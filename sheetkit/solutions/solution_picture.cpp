#include "solutions/solution_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "pictures/object_view.h"
#include "pictures/picture.h"
#include "pictures/svg_text.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// Cut levels drawn, heaviest first; deeper levels look like the last.
constexpr int cut_styles = 4;

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

// What lies beyond the object is drawn in a band this wide around it, cut
// short at the band's edge, so that it and its violation's number stay in
// the picture however far off it was placed.
constexpr double beyond_band = 12;

// `b` within the band; `cut` when it reached past it.
struct banded {
  svg::box b;
  bool cut = false;
};
banded within_band(const object_view& v, const svg::box& b) {
  const double left = v.x.p0 - beyond_band, right = v.x.p1 + beyond_band;
  const double top = v.y.p1 - beyond_band, bottom = v.y.p0 + beyond_band;
  const double x1 = std::clamp(b.x, left, right), x2 = std::clamp(b.x + b.w, left, right);
  const double y1 = std::clamp(b.y, top, bottom), y2 = std::clamp(b.y + b.h, top, bottom);
  const svg::box in{x1, y1, x2 - x1, y2 - y1};
  return {in, in.x != b.x || in.y != b.y || in.w != b.w || in.h != b.h};
}

// The picture of one solution, drawn step by step.
class solution_drawing {
 public:
  solution_drawing(const run_info& run, const instance& inst, const solution& s,
                   const solution_report& report)
      : run_(run), inst_(inst), s_(s), report_(report), v_(place_object(object_sides(run))) {}

  void render(std::ostream& out, const svg::form& how) {
    const std::string title = "Instance " + std::to_string(inst_.number) + " solved \xE2\x80\x94 " +
                              svg::shorten(s_.file, 60);
    // Each count names the file it comes from.
    std::string sub = "object " + size_text(v_.length, v_.width) + "; " +
                      count_of(static_cast<int64_t>(inst_.items.size()), "item type") + " from " +
                      svg::shorten(run_.instance_file, 40);
    if (!run_.defect_file.empty())
      sub += ", " + count_of(static_cast<int64_t>(inst_.defects.size()), "defect") + " from " +
             svg::shorten(run_.defect_file, 40);
    start_object(c_, v_, title, sub, how.bare);
    draw_items();
    draw_cuts();
    draw_labels();
    draw_defects();
    draw_violations();
    const svg::box frame = finish_object(c_, v_, 0, notes(), how.bare);
    add_styles();
    c_.render(out, frame, title, how);
  }

 private:
  // The items, each filled by its type; those reaching beyond the band are
  // cut short at its edge and dashed.
  void draw_items() {
    drawn_ = std::min(s_.items.size(), max_drawn_items);
    boxes_.reserve(drawn_);
    for (std::size_t k = 0; k < drawn_; ++k) {
      const placement& p = s_.items[k];
      int64_t l = p.length, w = p.width;
      if (l < 0 || w < 0) {
        if (p.item_type < 0 || p.item_type >= static_cast<int64_t>(inst_.items.size())) {
          boxes_.push_back({});
          continue;
        }
        const rectangle& t = inst_.items[static_cast<std::size_t>(p.item_type)];
        l = p.rotated ? t.width : t.length;
        w = p.rotated ? t.length : t.width;
      }
      const banded b =
          within_band(v_, to_box(v_, static_cast<double>(p.x), static_cast<double>(p.y),
                                 static_cast<double>(p.x) + static_cast<double>(l),
                                 static_cast<double>(p.y) + static_cast<double>(w)));
      cut_short_ = cut_short_ || b.cut;
      boxes_.push_back(b.b);
      c_.rect(b.b, std::string("item ") + type_class(p.item_type) + (b.cut ? " beyond" : ""),
              "item type " + std::to_string(p.item_type) + " at (" + std::to_string(p.x) + ", " +
                  std::to_string(p.y) + "), " + std::to_string(l) + " x " + std::to_string(w) +
                  (p.line > 0 ? ", line " + std::to_string(p.line) : ""));
    }
  }

  // A guillotine tree's cuts, between neighbouring pieces of each node.
  void draw_cuts() {
    if (s_.format != solution_format::guillotine) return;
    std::unordered_map<int64_t, std::vector<std::size_t>> pieces;
    for (std::size_t k = 0; k < s_.nodes.size(); ++k)
      if (s_.nodes[k].parent >= 0) pieces[s_.nodes[k].parent].push_back(k);
    for (const cut_node& p : s_.nodes) {
      const auto found = pieces.find(p.id);
      if (found == pieces.end() || found->second.size() < 2) continue;
      const int level = static_cast<int>(std::min<int64_t>(p.depth + 1, cut_styles));
      deepest_ = std::max(deepest_, static_cast<int>(p.depth + 1));
      const std::string cls = "cut cut" + std::to_string(level);
      for (const std::size_t k : found->second) {
        const cut_node& n = s_.nodes[k];
        const bool along_x = n.y == p.y && n.width == p.width;
        const double px1 = static_cast<double>(p.x), py1 = static_cast<double>(p.y);
        const double px2 = px1 + static_cast<double>(p.length);
        const double py2 = py1 + static_cast<double>(p.width);
        if (along_x && n.x > p.x) {
          const double x = v_.x.px(static_cast<double>(n.x));
          c_.line({x, v_.y.px(py1)}, {x, v_.y.px(py2)}, cls);
        } else if (!along_x && n.y > p.y) {
          const double y = v_.y.px(static_cast<double>(n.y));
          c_.line({v_.x.px(px1), y}, {v_.x.px(px2), y}, cls);
        }
      }
    }
  }

  // Labels where they fit: the type's number.
  void draw_labels() {
    for (std::size_t k = 0; k < boxes_.size(); ++k) {
      const svg::box& b = boxes_[k];
      const std::string label = std::to_string(s_.items[k].item_type);
      const double per_char = 0.62 * static_cast<double>(label.size());
      const double size = std::min({14.0, (b.w - 3) / per_char, b.h - 2});
      if (size < 7) continue;
      ++labelled_;
      c_.text({b.x + b.w / 2, b.y + b.h / 2 + size * 0.36}, label, "label", {.font_size = size});
    }
  }

  // Our defects, hatched, on top of the items, numbered from 1 as people
  // count them.
  void draw_defects() {
    for (std::size_t i = 0; i < inst_.defects.size(); ++i) {
      const placed_defect& d = inst_.defects[i];
      const defect_mark m = mark_defect(v_, d);
      enlarged_ = enlarged_ || m.enlarged;
      draw_defect(c_, m,
                  "defect " + std::to_string(i + 1) + ": (" + std::to_string(d.x1) + ", " +
                      std::to_string(d.y1) + ") to (" + std::to_string(d.x2) + ", " +
                      std::to_string(d.y2) + ")");
      hatch(c_, m.drawn);
    }
  }

  // The violations that happen at a place, numbered as the check lists
  // them; the number stays inside the picture.
  void draw_violations() {
    for (std::size_t i = 0; i < report_.violations.size(); ++i) {
      const violation& bad = report_.violations[i];
      if (!bad.has_area) continue;
      ++outlined_;
      const banded banded_box =
          within_band(v_, to_box(v_, static_cast<double>(bad.x1), static_cast<double>(bad.y1),
                                 static_cast<double>(bad.x2), static_cast<double>(bad.y2)));
      cut_short_ = cut_short_ || banded_box.cut;
      svg::box b = banded_box.b;
      // Even a sliver of overlap is seen.
      if (b.w < 6) b = {b.x + b.w / 2 - 3, b.y, 6, b.h};
      if (b.h < 6) b = {b.x, b.y + b.h / 2 - 3, b.w, 6};
      c_.rect(b, "violation", bad.text);
      const std::string number = std::to_string(i + 1);
      const double room = 8.0 * static_cast<double>(number.size()) + 4;
      const double x = std::min(b.x + b.w + 2, v_.picture_width - room);
      c_.text({x, std::max(b.y + 11, v_.y.p1 - beyond_band + 11)}, number, "violation-number");
    }
  }

  std::vector<std::string> notes() const {
    const solution_figures& f = report_.figures;
    std::vector<std::string> notes;
    notes.push_back(count_of(f.items_placed, "item") + " of " + count_of(f.distinct_types, "type") +
                    " placed, area " + std::to_string(f.placed_area) + ": " +
                    percent_text(f.utilisation()) + " of the usable area " +
                    std::to_string(f.usable_area) + "; gap " + percent_text(f.gap()) +
                    " to the area bound " + std::to_string(f.area_bound) + ".");
    if (report_.feasible()) {
      notes.push_back("Feasible: no violation.");
    } else {
      std::string line = count_of(report_.violation_count, "violation") + "; ";
      line += outlined_ == 0 ? "none of those listed has a place to mark."
                             : std::to_string(outlined_) +
                                   " outlined in red, numbered as solution check lists them.";
      notes.push_back(line);
    }
    std::string items_note = "Items are filled by type";
    items_note += labelled_ == drawn_
                      ? " and labelled with it"
                      : "; " + std::to_string(labelled_) + " of " + std::to_string(drawn_) +
                            " are large enough for its number";
    items_note += "; defects are hatched, on top.";
    if (drawn_ < s_.items.size())
      items_note += " Only the first " + std::to_string(drawn_) + " of " +
                    std::to_string(s_.items.size()) + " items are drawn.";
    notes.push_back(items_note);
    if (cut_short_)
      notes.push_back(
          "What lies beyond the object is drawn just outside its edge, cut short "
          "(dashed items); its place is in its tooltip and in solution check's list.");
    if (deepest_ > 0)
      notes.push_back("Cuts are drawn by level, from heavy (level 1) to light (level " +
                      std::to_string(deepest_) + ").");
    if (enlarged_) notes.push_back(enlarged_defects_note());
    return notes;
  }

  void add_styles() {
    for (int k = 0; k < 24; ++k) {
      const int hue = (k * 137) % 360;
      c_.style(std::string("t") + std::to_string(k),
               std::string("fill:hsl(") + std::to_string(hue) + ",55%,78%)");
    }
    c_.style("item", "stroke:#333;stroke-width:.5");
    c_.style("beyond", "stroke-dasharray:3 2");
    c_.style("label", "fill:#222;text-anchor:middle");
    c_.style("defect", "fill:#d62728;fill-opacity:.35;stroke:#7a0c0c;stroke-width:.75");
    c_.style("hatch", "stroke:#7a0c0c;stroke-width:.8");
    c_.style("cut", "fill:none;stroke:#1f3b8a");
    c_.style("cut1", "stroke-width:2.5");
    c_.style("cut2", "stroke-width:1.6;stroke:#2f64c8");
    c_.style("cut3", "stroke-width:1;stroke:#4a90d9");
    c_.style("cut4", "stroke-width:.7;stroke:#6aaee8;stroke-dasharray:3 2");
    c_.style("violation", "fill:#ff0000;fill-opacity:.12;stroke:#e00000;stroke-width:2");
    c_.style("violation-number", svg::haloed_text("font-size:12px;font-weight:bold;fill:#e00000"));
  }

  const run_info& run_;
  const instance& inst_;
  const solution& s_;
  const solution_report& report_;
  const object_view v_;
  svg::canvas c_;
  std::size_t drawn_ = 0;
  std::vector<svg::box> boxes_;  // of the drawn items, in the band
  std::size_t labelled_ = 0;
  int deepest_ = 0;
  bool enlarged_ = false;
  bool cut_short_ = false;
  int64_t outlined_ = 0;
};

}  // namespace

void render_solution(std::ostream& out, const run_info& run, const instance& inst,
                     const solution& s, const solution_report& report, const svg::form& how) {
  solution_drawing(run, inst, s, report).render(out, how);
}

}  // namespace sheetkit
