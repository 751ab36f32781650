#include "pictures/instance_picture.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "pictures/object_view.h"
#include "pictures/picture.h"
#include "pictures/svg_text.h"
#include "files/text.h"

namespace sheetkit {

namespace {

// Numbers in the middle of their defects, where they fit and meet no number
// already placed; returns how many are shown.
int64_t number_defects(svg::canvas& c, const std::vector<defect_mark>& marks) {
  const auto n = static_cast<int64_t>(marks.size());
  // Big numbers suit a few large defects; in a crowd they would shout.
  const double largest = n <= 20 ? 20 : n <= 100 ? 15 : 12;
  std::vector<svg::box> placed;
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
    c.text({b.x + b.w / 2, b.y + b.h / 2 + size * 0.36}, label, "defect-number",
           {.font_size = size});
  }
  return static_cast<int64_t>(placed.size());
}

// What the caption says about the numbers, true for all, some or none shown.
std::string numbers_note(int64_t numbered, int64_t defects) {
  if (numbered == defects)
    return "the defects are numbered in file order, and where they overlap the colour is darker.";
  const std::string why = "too small or too crowded to hold a number";
  if (numbered == 0)
    return "none is numbered: all are " + why +
           " (every defect names itself and its corners when pointed at); where they overlap the "
           "colour is darker.";
  return std::to_string(numbered) + " of the " + std::to_string(defects) +
         " defects carry their number in file order; the others are " + why +
         " (every defect names itself and its corners when pointed at). Where defects overlap "
         "the colour is darker.";
}

}  // namespace

void render_instance(std::ostream& out, const run_info& run, const instance& inst,
                     int64_t instances, const svg::form& how) {
  require_drawable(run);
  const object_view v = place_object(run.object.length, run.object.width);
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
  start_object(c, v, title, sub);

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
  const int64_t numbered = number_defects(c, marks);

  std::vector<std::string> notes;
  std::string counts = count_of(static_cast<int64_t>(inst.items.size()), "item type") +
                       ", " + count_of(n, "defect");
  if (run.defect_file.empty())
    counts += " (the run has no defect file).";
  else if (n == 0)
    counts += ".";
  else
    counts += "; " + numbers_note(numbered, n);
  notes.push_back(counts);
  if (enlarged) notes.push_back(enlarged_defects_note());
  const double height = finish_object(c, v, 0, notes);
  c.style("defect", "fill:#d62728;fill-opacity:" + svg::coordinate(opacity) +
                        ";stroke:#7a0c0c;stroke-width:.75;stroke-opacity:" +
                        svg::coordinate(std::min(0.8, 4 * opacity)));
  c.style("defect-number",
          "font-weight:bold;fill:#111;text-anchor:middle;stroke:#fff;stroke-width:3px;"
          "stroke-opacity:.85;paint-order:stroke");
  c.render(out, v.picture_width, height, title, how);
}

std::string render_instance(const run_info& run, const instance& inst, int64_t instances,
                            const svg::form& how) {
  std::ostringstream out;
  render_instance(out, run, inst, instances, how);
  return std::move(out).str();
}

}  // namespace sheetkit
