#include "suites/solution_picture.h"

#include <algorithm>

#include "files/files.h"
#include "files/text.h"
#include "pictures/svg.h"
#include "solutions/solution_reader.h"
#include "suites/suite_export.h"

namespace sheetkit {

namespace {

// Pixels across the picture's longer side.
constexpr double side = 560;

}  // namespace

std::string solution_svg(const run_info& run, const instance& in,
                         const std::filesystem::path& certificate, const results_options& o,
                         const std::string& id) {
  const std::vector<solution> read = read_solution(certificate);
  solution_rules rules = export_rules(
      read_whole_file((certificate.parent_path().parent_path() / exported_file).string()),
      o.guillotine);
  rules.max_violations = 20;
  const solution_instance target{run.object, in.items, in.defects};
  const solution empty;
  const solution& s = read.empty() ? empty : read.front();
  const solution_report report = check_solution(target, s, rules);

  const double length = static_cast<double>(run.object.length);
  const double width = static_cast<double>(run.object.width);
  const double scale = side / std::max(length, width);
  const double w = length * scale, h = width * scale;
  constexpr double margin = 8;
  svg::canvas c;
  c.style("object", "fill:#fafbfc;stroke:#5b616b;stroke-width:1");
  c.style("item", "fill:#9ec5e8;stroke:#1a56c4;stroke-width:.75");
  c.style("defect", "fill:#d62728;fill-opacity:.55;stroke:#8c1a1b;stroke-width:.75");
  c.style("wrong", "fill:none;stroke:#e00000;stroke-width:2.5");
  // y grows upwards on the object, downwards on the screen.
  const auto place = [&](double x1, double y1, double x2, double y2) {
    return svg::box{margin + x1 * scale, margin + (width - y2) * scale, (x2 - x1) * scale,
                    (y2 - y1) * scale};
  };
  c.rect({margin, margin, w, h}, "object");
  for (const placement& p : s.items) {
    const rectangle* type =
        p.item_type >= 0 && p.item_type < static_cast<int64_t>(in.items.size())
            ? &in.items[static_cast<std::size_t>(p.item_type)]
            : nullptr;
    int64_t l = p.length, wd = p.width;
    if (l < 0 && type != nullptr) l = p.rotated ? type->width : type->length;
    if (wd < 0 && type != nullptr) wd = p.rotated ? type->length : type->width;
    if (l <= 0 || wd <= 0) continue;
    c.rect(place(static_cast<double>(p.x), static_cast<double>(p.y),
                 static_cast<double>(p.x + l), static_cast<double>(p.y + wd)),
           "item", "item type " + std::to_string(p.item_type));
  }
  for (const placed_defect& d : in.defects) {
    c.rect(place(d.x1, d.y1, d.x2, d.y2), "defect", "defect");
  }
  for (const violation& v : report.violations) {
    if (!v.has_area) continue;
    c.rect(place(static_cast<double>(v.x1), static_cast<double>(v.y1), static_cast<double>(v.x2),
                 static_cast<double>(v.y2)),
           "wrong", v.text);
  }
  const solution_figures& f = report.figures;
  const std::string caption =
      std::to_string(f.items_placed) + " items placed, utilisation " +
      std::to_string(static_cast<int64_t>(f.utilisation() * 10000 + 0.5) / 100) + "." +
      std::to_string(100 + static_cast<int64_t>(f.utilisation() * 10000 + 0.5) % 100).substr(1) +
      "%" + (report.feasible() ? "" : ", " + count_of(report.violation_count, "violation"));
  c.text({margin, h + 2 * margin + 12}, caption, "caption");
  return c.render(w + 2 * margin, h + 3 * margin + 14, caption, {.id = id, .standalone = false});
}

}  // namespace sheetkit
