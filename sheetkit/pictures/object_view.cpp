#include "pictures/object_view.h"

#include <algorithm>
#include <cmath>

#include "pictures/svg_text.h"

namespace sheetkit {

namespace {

constexpr double longest_side = 800, thinnest_side = 100, object_top = 76;

}  // namespace

object_view place_object(const object_sides& object) {
  object_view v;
  const int64_t length = object.length, width = object.width;
  v.length = length;
  v.width = width;
  const double scale = longest_side / static_cast<double>(std::max(length, width));
  const double pw = std::max(static_cast<double>(length) * scale, thinnest_side);
  const double ph = std::max(static_cast<double>(width) * scale, thinnest_side);
  v.stretch = (ph / static_cast<double>(width)) / (pw / static_cast<double>(length));
  v.yt = svg::make_ticks(0, static_cast<double>(width), ph, false, svg::tick_kind::integer);
  v.left = std::round(svg::widest(v.yt) + 48);  // whole pixels keep the outline crisp
  v.x = {0, static_cast<double>(length), v.left, v.left + pw};
  v.y = {0, static_cast<double>(width), object_top + ph, object_top};
  v.xt = svg::make_ticks(0, static_cast<double>(length), pw, true, svg::tick_kind::integer);
  v.picture_width = std::max(v.left + pw + 40, 660.0);
  return v;
}

void start_object(svg::canvas& c, const object_view& v, std::string_view title,
                  std::string_view subtitle, bool bare) {
  c.style("object", "fill:#f6f2e6");
  c.style("outline", "fill:none;stroke:#222;stroke-width:1.5");
  c.style("origin", "fill:#222");
  c.style("defect-extent", "fill:none;stroke:#7a0c0c;stroke-width:.75");
  if (!bare) {
    c.text({16, 28}, title, "title");
    c.text({16, 50}, subtitle, "subtitle");
  }
  c.rect({v.x.p0, v.y.p1, v.x.length(), v.y.length()}, "object");
  svg::draw_axes(c, v.x, v.xt, v.y, v.yt, "length (x) \xE2\x86\x92", "width (y) \xE2\x86\x92", 22);
}

svg::box finish_object(svg::canvas& c, const object_view& v, double extra_below,
                       std::vector<std::string> notes, bool bare) {
  c.rect({v.x.p0, v.y.p1, v.x.length(), v.y.length()}, "outline");
  c.circle({v.x.p0, v.y.p0}, 3.5, "origin");
  if (bare) {
    // From just above the top tick's label to just below the axis title.
    const double top = v.y.p1 - 12;
    return {0, top, v.picture_width, v.y.p0 + 46 + extra_below - top};
  }
  if (v.stretch > 1.001 || v.stretch < 0.999) {
    const bool wide = v.stretch > 1;
    const double factor = wide ? v.stretch : 1 / v.stretch;
    notes.push_back(std::string("Not to scale: the ") + (wide ? "width" : "length") + " is drawn " +
                    (factor >= 10 ? std::to_string(std::llround(factor)) : svg::decimal(factor)) +
                    " times longer so that the object stays visible.");
  }
  notes.push_back(
      "Origin (0, 0) at the bottom left: x runs along the object's length, y along its width.");
  return {0, 0, v.picture_width,
          svg::caption(c, 16, v.y.p0 + 62 + extra_below, v.picture_width - 32, notes) - 4};
}

defect_mark mark_defect(const object_view& v, const placed_defect& d) {
  auto clamped = [](int64_t a, int64_t hi) {
    return static_cast<double>(std::clamp<int64_t>(a, 0, hi));
  };
  const double x1 = clamped(d.x1, v.length), x2 = clamped(d.x2, v.length);
  const double y1 = clamped(d.y1, v.width), y2 = clamped(d.y2, v.width);
  // Sizes from the units, not as the difference of two pixel positions:
  // defects of one size then come out the same size wherever they lie, on
  // the same side of min_defect_px.
  defect_mark m;
  m.extent = {v.x.px(x1), v.y.px(y2), (x2 - x1) * (v.x.length() / static_cast<double>(v.length)),
              (y2 - y1) * (v.y.length() / static_cast<double>(v.width))};
  m.drawn = m.extent;
  // A hair's breadth below the threshold is on it: 30 units of 7.5 per pixel are 4 pixels.
  constexpr double below = min_defect_px - 1e-9;
  if (m.drawn.w < below) {
    m.drawn.x -= (min_defect_px - m.drawn.w) / 2;
    m.drawn.w = min_defect_px;
    m.enlarged = true;
  }
  if (m.drawn.h < below) {
    m.drawn.y -= (min_defect_px - m.drawn.h) / 2;
    m.drawn.h = min_defect_px;
    m.enlarged = true;
  }
  return m;
}

void draw_defect(svg::canvas& c, const defect_mark& m, std::string_view tooltip) {
  c.rect(m.drawn, "defect", tooltip);
  if (m.enlarged) c.rect(m.extent, "defect-extent");
}

std::string enlarged_defects_note() {
  const std::string px = svg::decimal(min_defect_px) + " pixels across";
  return "Defects less than " + px + " are drawn " + px +
         ", centred where they lie, with their true extent outlined inside.";
}

double stacked_opacity(double mean_depth, double lo, double hi) {
  return std::clamp(1 - std::pow(0.15, 1 / std::max(2 * mean_depth, 1.0)), lo, hi);
}

}  // namespace sheetkit
