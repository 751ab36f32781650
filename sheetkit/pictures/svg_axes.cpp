#include "pictures/svg_axes.h"

#include <algorithm>
#include <cstdint>

#include "pictures/svg_text.h"
#include "text/text.h"

namespace sheetkit::svg {

std::vector<tick> make_ticks(double lo, double hi, double px, bool horizontal, tick_kind kind) {
  const double range = std::max(hi - lo, 1e-12);
  double step = std::pow(10.0, std::floor(std::log10(range * 24 / px)));
  if (kind != tick_kind::real) step = std::max(step, 1.0);
  static const double mantissas[] = {1, 2, 5};
  for (int round = 0;; ++round) {
    const double base = step * std::pow(10.0, round / 3);
    const double s = base * mantissas[round % 3];
    const int decimals = kind == tick_kind::real
                             ? std::max(0, static_cast<int>(-std::floor(std::log10(s) + 1e-9)))
                             : 0;
    std::vector<tick> ticks;
    std::vector<int64_t> counts;
    for (auto i = static_cast<int64_t>(std::ceil(lo / s - 1e-9)); i * s <= hi + s * 1e-9; ++i) {
      const double v = static_cast<double>(i) * s;
      ticks.push_back({v, kind == tick_kind::count ? std::string() : fixed_text(v, decimals)});
      counts.push_back(std::llround(v));
    }
    if (kind == tick_kind::count) {
      // One unit along the axis: 9k beside 12k, not 9000.
      const std::vector<std::string> labels = count_labels(counts);
      for (std::size_t k = 0; k < ticks.size(); ++k) ticks[k].label = labels[k];
    }
    double need = 22;
    if (horizontal)
      for (const auto& t : ticks) need = std::max(need, text_width(t.label, 11) + 12);
    if (s / range * px >= need || ticks.size() <= 2) return ticks;
  }
}

double widest(const std::vector<tick>& ticks) {
  double w = 0;
  for (const auto& t : ticks) w = std::max(w, text_width(t.label, 11));
  return w;
}

void draw_axes(canvas& c, const axis& x, const std::vector<tick>& xt, const axis& y,
               const std::vector<tick>& yt, std::string_view xtitle, std::string_view ytitle,
               double ytitle_x) {
  for (const auto& t : xt) {
    const double px = x.px(t.value);
    c.line({px, y.p0}, {px, y.p1}, "grid");
    c.line({px, y.p0}, {px, y.p0 + 5}, "tick");
    c.text({px, y.p0 + 18}, t.label, "scale-label middle");
  }
  for (const auto& t : yt) {
    const double py = y.px(t.value);
    c.line({x.p0, py}, {x.p1, py}, "grid");
    c.line({x.p0 - 5, py}, {x.p0, py}, "tick");
    c.text({x.p0 - 8, py + 4}, t.label, "scale-label end");
  }
  c.text({(x.p0 + x.p1) / 2, y.p0 + 38}, xtitle, "axis-title middle");
  c.text({ytitle_x, (y.p0 + y.p1) / 2}, ytitle, "axis-title middle", {.upward = true});
}

}  // namespace sheetkit::svg
