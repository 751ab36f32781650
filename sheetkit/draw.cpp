// The pictures are written as SVG by hand: rectangles, lines and text are all
// they need, the output stays small, and the same run gives the same bytes
// (a test keeps a golden picture).
//
// Layout works without font metrics: text widths are estimated generously
// for a sans-serif font, and labels that might collide are left out.
#include "draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace sheetkit {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- text --

// Pixel positions need no more than two decimals; short numbers keep big
// pictures small.
std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string fixed(double v, int decimals) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Up to three significant digits, for ratios and densities in captions.
std::string short_real(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.3g", v);
  return buf;
}

// Counts on an axis: "20k" reads faster than "20000" and stays narrow.
std::string count_label(double v) {
  const auto n = static_cast<int64_t>(std::llround(v));
  if (n >= 1000000 && n % 100000 == 0) return short_real(static_cast<double>(n) / 1e6) + "M";
  if (n >= 10000 && n % 100 == 0) return short_real(static_cast<double>(n) / 1e3) + "k";
  return std::to_string(n);
}

// File names are arbitrary bytes, but SVG text must be UTF-8 without control
// characters: anything else shows as U+FFFD instead of breaking the file.
std::string clean_utf8(std::string_view s) {
  static const std::string replacement = "\xEF\xBF\xBD";
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F)
        out += replacement;
      else
        out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    bool ok = n != 0 && i + n <= s.size();
    for (std::size_t k = 1; ok && k < n; ++k)
      ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      // overlong forms, surrogates, beyond U+10FFFF, and U+FFFE / U+FFFF
      ok = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d > 0x9F) && !(c == 0xF0 && d < 0x90) &&
           !(c == 0xF4 && d > 0x8F) &&
           !(c == 0xEF && d == 0xBF && static_cast<unsigned char>(s[i + 2]) >= 0xBE);
    }
    if (ok) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += replacement;
      ++i;
    }
  }
  return out;
}

std::string escape(std::string_view s) {
  std::string out;
  for (const char c : clean_utf8(s)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::size_t code_points(std::string_view s) {
  return static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A generous estimate: a label judged to fit does fit.
double text_width(std::string_view s, double size) {
  return static_cast<double>(code_points(s)) * 0.62 * size;
}

// Keeps both ends of a long name: its folder and its extension tell most.
std::string shorten(std::string_view name, std::size_t max_points) {
  const std::string s = clean_utf8(name);
  if (code_points(s) <= max_points) return s;
  auto cut = [&](std::size_t points, bool from_end) {
    std::size_t seen = 0;
    if (!from_end) {
      for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && seen++ == points)
          return s.substr(0, i);
      return s;
    }
    for (std::size_t i = s.size(); i-- > 0;)
      if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && ++seen == points) return s.substr(i);
    return s;
  };
  const std::size_t keep = max_points - 1;
  return cut(keep - keep / 2, false) + "\xE2\x80\xA6" + cut(keep / 2, true);
}

std::vector<std::string> wrap(std::string_view text, double width, double size) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = std::min(text.find(' ', i), text.size());
    const std::string_view word = text.substr(i, end - i);
    const std::string next = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (!line.empty() && text_width(next, size) > width) {
      lines.push_back(line);
      line = std::string(word);
    } else {
      line = next;
    }
    i = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// -------------------------------------------------------------- canvas --

const char* const common_style =
    ".h{font-size:16px;font-weight:bold}"
    ".p{font-size:13px;font-weight:bold}"
    ".s{font-size:12px;fill:#555}"
    ".c{font-size:12px;fill:#222}"
    ".k{font-size:11px;fill:#444}"
    ".a{font-size:12px;font-weight:bold;fill:#222}"
    ".m{text-anchor:middle}.e{text-anchor:end}"
    ".g{stroke:#000;stroke-opacity:.09}"
    ".t{stroke:#444}"
    ".o{fill:#f6f2e6}"
    ".f{fill:none;stroke:#222;stroke-width:1.5}"
    ".x{stroke:#1f4e9a;stroke-width:1.5;stroke-dasharray:6 4;fill:none}"
    ".y{stroke:#1f4e9a;stroke-width:1.2;stroke-dasharray:2 3;fill:none}"
    ".bl{fill:#1f4e9a;font-size:11px;font-weight:bold;stroke:#fff;stroke-width:3px;"
    "stroke-opacity:.9;paint-order:stroke}";

class canvas {
 public:
  void raw(std::string_view s) { body_ += s; }
  const std::string& body() const { return body_; }

  void rect(double x, double y, double w, double h, std::string_view cls,
            std::string_view extra = {}) {
    body_ += "<rect class=\"" + std::string(cls) + "\" x=\"" + num(x) + "\" y=\"" + num(y) +
             "\" width=\"" + num(w) + "\" height=\"" + num(h) + "\"";
    if (!extra.empty()) body_ += " " + std::string(extra);
    body_ += "/>\n";
  }

  void line(double x1, double y1, double x2, double y2, std::string_view cls) {
    body_ += "<line class=\"" + std::string(cls) + "\" x1=\"" + num(x1) + "\" y1=\"" + num(y1) +
             "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) + "\"/>\n";
  }

  // `cls` may hold several classes; `extra` further attributes.
  void text(double x, double y, std::string_view s, std::string_view cls,
            std::string_view extra = {}) {
    body_ += "<text class=\"" + std::string(cls) + "\" x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
    if (!extra.empty()) body_ += " " + std::string(extra);
    body_ += ">" + escape(s) + "</text>\n";
  }

  std::string finish(double width, double height, std::string_view title,
                     std::string_view style) const {
    const std::string w = num(std::ceil(width)), h = num(std::ceil(height));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
           "\" font-family=\"sans-serif\">\n"
           "<title>" +
           escape(title) + "</title>\n<style>" + common_style + std::string(style) +
           "</style>\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n" + body_ + "</svg>\n";
  }

 private:
  std::string body_;
};

// Caption lines, wrapped to `width`; returns the baseline after the last.
double caption(canvas& c, double x, double y, double width,
               const std::vector<std::string>& paragraphs) {
  for (const auto& p : paragraphs)
    for (const auto& l : wrap(p, width, 12)) {
      c.text(x, y, l, "c");
      y += 16;
    }
  return y;
}

// ---------------------------------------------------------------- axes --

// A linear map from data values [lo, hi] to pixels [p0, p1].
struct axis {
  double lo = 0, hi = 1, p0 = 0, p1 = 1;
  double px(double v) const { return p0 + (v - lo) / (hi - lo) * (p1 - p0); }
  double length() const { return std::abs(p1 - p0); }
};

// A class name such as "q7" (built this way to dodge a false g++ 12 warning).
std::string shade_class(char prefix, int level) {
  std::string s(1, prefix);
  s += std::to_string(level);
  return s;
}

struct tick {
  double value;
  std::string label;
};

enum class tick_kind { integer, real, count };

// Ticks at round values (1, 2 or 5 times a power of ten), as many as fit:
// `horizontal` labels need their width, vertical ones about two lines.
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
    for (auto i = static_cast<int64_t>(std::ceil(lo / s - 1e-9)); i * s <= hi + s * 1e-9; ++i) {
      const double v = static_cast<double>(i) * s;
      ticks.push_back({v, kind == tick_kind::count ? count_label(v) : fixed(v, decimals)});
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

// Grid lines, tick marks and labels of a plot box spanned by x and y (y.p0 is
// its bottom), and the axis titles. `ytitle_x` is where the rotated title goes.
void draw_axes(canvas& c, const axis& x, const std::vector<tick>& xt, const axis& y,
               const std::vector<tick>& yt, std::string_view xtitle, std::string_view ytitle,
               double ytitle_x) {
  for (const auto& t : xt) {
    const double px = x.px(t.value);
    c.line(px, y.p0, px, y.p1, "g");
    c.line(px, y.p0, px, y.p0 + 5, "t");
    c.text(px, y.p0 + 18, t.label, "k m");
  }
  for (const auto& t : yt) {
    const double py = y.px(t.value);
    c.line(x.p0, py, x.p1, py, "g");
    c.line(x.p0 - 5, py, x.p0, py, "t");
    c.text(x.p0 - 8, py + 4, t.label, "k e");
  }
  c.text((x.p0 + x.p1) / 2, y.p0 + 38, xtitle, "a m");
  const double mid = (y.p0 + y.p1) / 2;
  c.text(ytitle_x, mid, ytitle, "a m",
         "transform=\"rotate(-90 " + num(ytitle_x) + " " + num(mid) + ")\"");
}

// ------------------------------------------------------------- objects --

// The object fits 800 px on its longer side; a short side thinner than 100 px
// is stretched alone, so that a 20000 x 10 object is still visible.
constexpr double longest_side = 800, thinnest_side = 100, object_top = 76;

struct object_view {
  int64_t length = 0, width = 0;
  axis x, y;
  std::vector<tick> xt, yt;
  double left = 0, picture_width = 0;
  double stretch = 1;  // > 1: the width is drawn that much longer than to scale; < 1: the length
};

object_view place_object(int64_t length, int64_t width) {
  object_view v;
  v.length = length;
  v.width = width;
  const double scale = longest_side / static_cast<double>(std::max(length, width));
  const double pw = std::max(static_cast<double>(length) * scale, thinnest_side);
  const double ph = std::max(static_cast<double>(width) * scale, thinnest_side);
  v.stretch = (ph / static_cast<double>(width)) / (pw / static_cast<double>(length));
  v.yt = make_ticks(0, static_cast<double>(width), ph, false, tick_kind::integer);
  v.left = std::round(widest(v.yt) + 48);  // whole pixels keep the outline crisp
  v.x = {0, static_cast<double>(length), v.left, v.left + pw};
  v.y = {0, static_cast<double>(width), object_top + ph, object_top};
  v.xt = make_ticks(0, static_cast<double>(length), pw, true, tick_kind::integer);
  v.picture_width = std::max(v.left + pw + 40, 660.0);
  return v;
}

std::string size_text(int64_t length, int64_t width) {
  return std::to_string(length) + " \xC3\x97 " + std::to_string(width);
}

// Title, subtitle, the object's face and its axes; the caller adds what lies
// on the object and then calls finish_object.
void start_object(canvas& c, const object_view& v, std::string_view title,
                  std::string_view subtitle) {
  c.text(16, 28, title, "h");
  c.text(16, 50, subtitle, "s");
  c.rect(v.x.p0, v.y.p1, v.x.length(), v.y.length(), "o");
  draw_axes(c, v.x, v.xt, v.y, v.yt, "length (x) \xE2\x86\x92", "width (y) \xE2\x86\x92", 22);
}

// The outline on top of everything drawn on the object, the origin, and the
// caption; returns the picture's height.
double finish_object(canvas& c, const object_view& v, double extra_below,
                     std::vector<std::string> notes) {
  c.rect(v.x.p0, v.y.p1, v.x.length(), v.y.length(), "f");
  c.raw("<circle cx=\"" + num(v.x.p0) + "\" cy=\"" + num(v.y.p0) +
        "\" r=\"3.5\" fill=\"#222\"/>\n");
  if (v.stretch > 1.001 || v.stretch < 0.999) {
    const bool wide = v.stretch > 1;
    const double factor = wide ? v.stretch : 1 / v.stretch;
    notes.push_back(std::string("Not to scale: the ") + (wide ? "width" : "length") + " is drawn " +
                    (factor >= 10 ? std::to_string(std::llround(factor)) : short_real(factor)) +
                    " times longer so that the object stays visible.");
  }
  notes.push_back(
      "Origin (0, 0) at the bottom left: x runs along the object's length, y along its width.");
  return caption(c, 16, v.y.p0 + 62 + extra_below, v.picture_width - 32, notes) - 4;
}

struct box {
  double x, y, w, h;
};

// A defect on the picture, at least a pixel in each direction so that none
// vanishes; clipped to the object so a stray one cannot spoil the layout.
box defect_box(const object_view& v, const placed_defect& d, bool& enlarged) {
  auto clampv = [](int64_t a, int64_t hi) {
    return static_cast<double>(std::clamp<int64_t>(a, 0, hi));
  };
  const double x1 = v.x.px(clampv(d.x1, v.length)), x2 = v.x.px(clampv(d.x2, v.length));
  const double y1 = v.y.px(clampv(d.y2, v.width)), y2 = v.y.px(clampv(d.y1, v.width));
  box b{x1, y1, x2 - x1, y2 - y1};
  if (b.w < 1) {
    b.x -= (1 - b.w) / 2;
    b.w = 1;
    enlarged = true;
  }
  if (b.h < 1) {
    b.y -= (1 - b.h) / 2;
    b.h = 1;
    enlarged = true;
  }
  return b;
}

// Opacity for stacked translucent rectangles: where they pile up twice as
// deep as on average the colour is nearly solid, so density still shows.
double stacked_opacity(double mean_depth, double lo, double hi) {
  return std::clamp(1 - std::pow(0.15, 1 / std::max(2 * mean_depth, 1.0)), lo, hi);
}

std::string plural(int64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// ------------------------------------------------------------ the run --

struct run_summary {
  int64_t instances = 0, items = 0, defects = 0;
  int64_t min_area = std::numeric_limits<int64_t>::max(),
          max_area = std::numeric_limits<int64_t>::min();
  int64_t max_length = 0, max_width = 0;
  double defect_area = 0;
};

std::string instance_svg(const run_info& run, const instance& inst, int64_t instances) {
  const object_view v = place_object(run.object.length, run.object.width);
  canvas c;
  const std::string title = "Instance " + std::to_string(inst.number) + " of " +
                            std::to_string(instances) + " \xE2\x80\x94 " +
                            shorten(run.instance_file, 60);
  std::string sub = "object " + size_text(v.length, v.width) +
                    " (length \xC3\x97 width); items from line " + std::to_string(inst.item_line) +
                    " of " + shorten(run.instance_file, 40);
  if (!run.defect_file.empty())
    sub += ", defects from line " + std::to_string(inst.defect_line) + " of " +
           shorten(run.defect_file, 40);
  start_object(c, v, title, sub);

  const auto n = static_cast<int64_t>(inst.defects.size());
  double area = 0;
  for (const auto& d : inst.defects)
    area += static_cast<double>(d.x2 - d.x1) * static_cast<double>(d.y2 - d.y1);
  const double object_area = static_cast<double>(v.length) * static_cast<double>(v.width);
  const double opacity = stacked_opacity(area / object_area, 0.12, 0.55);
  // Rectangles first, numbers after, so that no rectangle hides a number.
  bool enlarged = false;
  std::vector<box> boxes;
  boxes.reserve(inst.defects.size());
  for (std::size_t i = 0; i < inst.defects.size(); ++i) {
    const auto& d = inst.defects[i];
    const box b = defect_box(v, d, enlarged);
    boxes.push_back(b);
    c.raw("<rect class=\"d\" x=\"" + num(b.x) + "\" y=\"" + num(b.y) + "\" width=\"" + num(b.w) +
          "\" height=\"" + num(b.h) + "\"><title>defect " + std::to_string(i + 1) + ": (" +
          std::to_string(d.x1) + ", " + std::to_string(d.y1) + ") to (" + std::to_string(d.x2) +
          ", " + std::to_string(d.y2) + ")</title></rect>\n");
  }
  // A number goes in the middle of its defect when it fits there and meets
  // no number already placed; in a crowd the first defects keep theirs.
  // Big numbers suit a few large defects; in a crowd they would shout.
  const double largest = n <= 20 ? 20 : n <= 100 ? 15 : 12;
  std::vector<box> labels;
  int64_t labelled = 0;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const box& b = boxes[i];
    const std::string label = std::to_string(i + 1);
    const double per_char = 0.62 * static_cast<double>(label.size());
    const double size =
        std::min({largest, (b.w - 4) / per_char, b.h - 2, 0.5 * std::min(b.w, b.h) + 6});
    if (size < 9) continue;
    const box l{b.x + b.w / 2 - size * per_char / 2 - 2, b.y + b.h / 2 - size / 2 - 2,
                size * per_char + 4, size + 4};
    const bool crowded = std::any_of(labels.begin(), labels.end(), [&](const box& o) {
      return l.x < o.x + o.w && o.x < l.x + l.w && l.y < o.y + o.h && o.y < l.y + l.h;
    });
    if (crowded) continue;
    labels.push_back(l);
    ++labelled;
    c.text(b.x + b.w / 2, b.y + b.h / 2 + size * 0.36, label, "n",
           "font-size=\"" + num(size) + "\"");
  }

  std::vector<std::string> notes;
  notes.push_back(plural(static_cast<int64_t>(inst.items.size()), "item type", "item types") +
                  ", " + plural(n, "defect", "defects") +
                  (run.defect_file.empty() ? " (the run has no defect file)."
                                           : "; the defects are numbered in "
                                             "file order, and where they "
                                             "overlap the colour is darker."));
  if (labelled < n)
    notes.push_back(
        "Numbers are shown on " + std::to_string(labelled) + " of " + std::to_string(n) +
        " defects; the others are too small or too crowded to hold one (every defect names "
        "itself and its corners when pointed at).");
  if (enlarged) notes.push_back("Defects thinner than a pixel are drawn a pixel thick.");
  const double height = finish_object(c, v, 0, notes);
  const std::string style =
      ".d{fill:#d62728;fill-opacity:" + num(opacity) +
      ";stroke:#7a0c0c;stroke-width:.75;stroke-opacity:" + num(std::min(0.8, 4 * opacity)) +
      "}.n{font-weight:bold;fill:#111;text-anchor:middle;stroke:#fff;stroke-width:3px;"
      "stroke-opacity:.85;paint-order:stroke}";
  return c.finish(v.picture_width, height, title, style);
}

// defects.svg: the rectangles themselves while there are few enough; beyond
// that a grid of cells, each shaded by how many defects cover its centre.
class defect_overlay {
 public:
  static constexpr int64_t max_rectangles = 4000;
  static constexpr double cell_px = 6;
  static constexpr int levels = 15;

  defect_overlay(const run_info& run, const run_summary& sum)
      : run_(run), sum_(sum), v_(place_object(run.object.length, run.object.width)) {
    grid_ = sum.defects > max_rectangles;
    if (grid_) {
      nx_ = std::clamp<int64_t>(std::llround(v_.x.length() / cell_px), 1, v_.length);
      ny_ = std::clamp<int64_t>(std::llround(v_.y.length() / cell_px), 1, v_.width);
      diff_.assign(static_cast<std::size_t>((nx_ + 1) * (ny_ + 1)), 0);
    }
  }

  void add(const instance& inst) {
    for (const auto& d : inst.defects) {
      if (!grid_) {
        const box b = defect_box(v_, d, enlarged_);
        rects_.rect(b.x, b.y, b.w, b.h, "d");
        continue;
      }
      const auto [i0, i1] = covered(d.x1, d.x2, nx_, v_.length);
      const auto [j0, j1] = covered(d.y1, d.y2, ny_, v_.width);
      if (i0 >= i1 || j0 >= j1) continue;
      diff_[at(i0, j0)] += 1;
      diff_[at(i1, j0)] -= 1;
      diff_[at(i0, j1)] -= 1;
      diff_[at(i1, j1)] += 1;
    }
  }

  std::string svg() {
    canvas c;
    const std::string title =
        "Defects of all " + std::to_string(sum_.instances) + " instances, overlaid";
    const std::string sub =
        run_.defect_file.empty()
            ? "object " + size_text(v_.length, v_.width) + "; " + shorten(run_.instance_file, 60)
            : "object " + size_text(v_.length, v_.width) + "; " +
                  plural(sum_.defects, "defect", "defects") + " from " +
                  shorten(run_.defect_file, 60);
    start_object(c, v_, title, sub);
    std::vector<std::string> notes;
    double extra = 0;
    double opacity = 0;
    if (sum_.defects == 0) {
      c.text((v_.x.p0 + v_.x.p1) / 2, (v_.y.p0 + v_.y.p1) / 2, "no defects", "a m");
      notes.push_back(run_.defect_file.empty() ? "The run has no defect file."
                                               : "The defect file holds no defects.");
    } else if (!grid_) {
      const double object_area = static_cast<double>(v_.length) * static_cast<double>(v_.width);
      opacity = stacked_opacity(sum_.defect_area / object_area, 0.03, 0.6);
      c.raw(rects_.body());
      notes.push_back("Each of the " + std::to_string(sum_.defects) +
                      " defects is drawn at opacity " + short_real(opacity) +
                      ": the darker a place, the more defects cover it.");
      if (enlarged_) notes.push_back("Defects thinner than a pixel are drawn a pixel thick.");
    } else {
      const double darkest = draw_grid(c);
      extra = 26;
      draw_legend(c, darkest);
      notes.push_back("Too many defects (" + std::to_string(sum_.defects) +
                      ") to draw one by one: the object is cut into " + std::to_string(nx_) +
                      " \xC3\x97 " + std::to_string(ny_) +
                      " cells, each shaded by the number of defects covering its centre divided by "
                      "the number of "
                      "instances (darkest " +
                      short_real(darkest) + ").");
    }
    const double height = finish_object(c, v_, extra, notes);
    std::string style = ".d{fill:#d62728;fill-opacity:" + num(opacity) + "}";
    for (int l = 1; l <= levels; ++l) {
      style += '.';
      style += shade_class('q', l) + "{fill:#d62728;fill-opacity:" + num(0.92 * l / levels) + "}";
    }
    return c.finish(v_.picture_width, height, title, style);
  }

 private:
  // Cells along an axis whose centre lies in [a, b): centre i sits at
  // (2i + 1) len / 2n, so integers decide it exactly.
  static std::pair<int64_t, int64_t> covered(int64_t a, int64_t b, int64_t n, int64_t len) {
    auto first = [&](int64_t v) {
      const int64_t need = 2 * n * v - len;  // smallest i with 2 i len >= need
      return need <= 0 ? 0 : std::min(n, (need + 2 * len - 1) / (2 * len));
    };
    return {first(a), first(b)};
  }

  std::size_t at(int64_t i, int64_t j) const { return static_cast<std::size_t>(j * (nx_ + 1) + i); }

  // Returns the darkest cell's value.
  double draw_grid(canvas& c) {
    std::vector<int64_t> count(static_cast<std::size_t>(nx_ * ny_));
    int64_t most = 0;
    for (int64_t j = 0; j < ny_; ++j)
      for (int64_t i = 0; i < nx_; ++i) {
        int64_t s = diff_[at(i, j)];
        if (i > 0) s += count[static_cast<std::size_t>(j * nx_ + i - 1)];
        if (j > 0) s += count[static_cast<std::size_t>((j - 1) * nx_ + i)];
        if (i > 0 && j > 0) s -= count[static_cast<std::size_t>((j - 1) * nx_ + i - 1)];
        count[static_cast<std::size_t>(j * nx_ + i)] = s;
        most = std::max(most, s);
      }
    auto level = [&](int64_t k) {
      return k == 0 ? 0 : static_cast<int>((k * levels + most - 1) / most);  // 1..levels
    };
    // Cell edges on whole pixels: translucent neighbours then neither
    // overlap nor leave a hairline between them.
    auto ex = [&](int64_t i) {
      return std::round(v_.x.p0 +
                        static_cast<double>(i) * v_.x.length() / static_cast<double>(nx_));
    };
    auto ey = [&](int64_t j) {
      return std::round(v_.y.p0 -
                        static_cast<double>(j) * v_.y.length() / static_cast<double>(ny_));
    };
    for (int64_t j = 0; j < ny_; ++j)
      for (int64_t i = 0; i < nx_;) {
        const int l = level(count[static_cast<std::size_t>(j * nx_ + i)]);
        int64_t end = i + 1;  // runs of one shade become one rectangle
        while (end < nx_ && level(count[static_cast<std::size_t>(j * nx_ + end)]) == l) ++end;
        if (l > 0)
          c.rect(ex(i), ey(j + 1), ex(end) - ex(i), ey(j) - ey(j + 1), shade_class('q', l));
        i = end;
      }
    return static_cast<double>(most) / static_cast<double>(std::max<int64_t>(sum_.instances, 1));
  }

  void draw_legend(canvas& c, double darkest) {
    const double y = v_.y.p0 + 52, bar = 30;
    c.text(16, y + 10, "0", "k");
    for (int l = 1; l <= levels; ++l) c.rect(bar + (l - 1) * 12, y, 12, 12, shade_class('q', l));
    const std::string top = short_real(darkest);
    c.text(bar + levels * 12 + 5, y + 10, top, "k");
    c.text(bar + levels * 12 + 5 + text_width(top, 11) + 12, y + 10,
           "defects per instance covering a point", "c");
  }

  const run_info& run_;
  const run_summary& sum_;
  object_view v_;
  bool grid_ = false, enlarged_ = false;
  canvas rects_;
  int64_t nx_ = 0, ny_ = 0;
  std::vector<int64_t> diff_;
};

// items.svg: a histogram of the item areas and the item types' lengths
// against their widths, both in fixed-size arrays whatever the run's size.
class item_charts {
 public:
  static constexpr int64_t max_bins = 60, max_cells = 100;
  static constexpr int shades = 9;

  item_charts(const run_info& run, const run_summary& sum) : run_(run), sum_(sum) {
    area_ = static_cast<int64_t>(run.object.length) * run.object.width;
    int64_t lo = sum.items > 0 ? sum.min_area : 1, hi = sum.items > 0 ? sum.max_area : area_;
    if (run.answers) {
      lo = std::min<int64_t>(lo, run.answers->minarea);
      hi = std::max<int64_t>(hi, run.answers->maxarea);
    }
    a0_ = lo;
    bin_ = bin_width(std::max<int64_t>(hi - lo + 1, 1));
    bins_.assign(static_cast<std::size_t>((std::max<int64_t>(hi - lo + 1, 1) + bin_ - 1) / bin_),
                 0);
    xmax_ = scatter_span(run.object.length, sum.items > 0 ? sum.max_length : 0);
    ymax_ = scatter_span(run.object.width, sum.items > 0 ? sum.max_width : 0);
    cx_ = (xmax_ + max_cells - 1) / max_cells;
    cy_ = (ymax_ + max_cells - 1) / max_cells;
    ncx_ = (xmax_ + cx_ - 1) / cx_;
    ncy_ = (ymax_ + cy_ - 1) / cy_;
    cells_.assign(static_cast<std::size_t>(ncx_ * ncy_), 0);
  }

  // The widest bar (in whole units of area) whose last bar is nearly full:
  // a bar holding fewer areas than the others would look like a dip.
  static int64_t bin_width(int64_t span) {
    if (span <= max_bins) return 1;
    int64_t best = 0;
    double best_gap = 2;
    for (int64_t bars = max_bins; bars >= max_bins / 2; --bars) {
      const int64_t b = (span + bars - 1) / bars;
      const double gap = static_cast<double>(b * bars - span) / static_cast<double>(b);
      if (gap < best_gap - 1e-9) best = b, best_gap = gap;
    }
    return best;
  }

  // The scatter spans the object's side only when the items come near it;
  // next to a 20000 long object, items 400 long would shrink to a line.
  static int64_t scatter_span(int64_t side, int64_t largest_item) {
    return largest_item == 0 || 2 * largest_item >= side ? std::max(side, largest_item)
                                                         : largest_item;
  }

  void add(const instance& inst) {
    const auto nb = static_cast<int64_t>(bins_.size());
    for (const auto& r : inst.items) {
      ++bins_[static_cast<std::size_t>(std::clamp<int64_t>((r.area - a0_) / bin_, 0, nb - 1))];
      const int64_t i = std::clamp<int64_t>((r.length - 1) / cx_, 0, ncx_ - 1);
      const int64_t j = std::clamp<int64_t>((r.width - 1) / cy_, 0, ncy_ - 1);
      ++cells_[static_cast<std::size_t>(j * ncx_ + i)];
    }
  }

  std::string svg() const {
    canvas c;
    const std::string title = "Item types of all " + std::to_string(sum_.instances) +
                              " instances \xE2\x80\x94 " + shorten(run_.instance_file, 60);
    c.text(16, 28, title, "h");
    c.text(16, 50,
           plural(sum_.items, "item type", "item types") + "; object " +
               size_text(run_.object.length, run_.object.width) + ", area " + std::to_string(area_),
           "s");
    const double top = 100, h = 300;
    const double below = std::max(histogram(c, top, h), scatter(c, top, h));
    return c.finish(width, below, title, style());
  }

 private:
  static constexpr double width = 1100;

  std::string style() const {
    static const char* const colours[shades] = {"#dbe9f6", "#c1d9ee", "#9ecae1",
                                                "#79b3d9", "#5499c9", "#3480bb",
                                                "#1d64a6", "#0d4a89", "#08306b"};
    std::string s = ".b{fill:#4a7fc1}";
    for (int l = 0; l < shades; ++l)
      s += ".v" + std::to_string(l + 1) + "{fill:" + colours[l] + "}";
    return s + ".w{fill:#fff;font-size:11px}.u{fill:#111;font-size:11px}";
  }

  // Returns the picture's height below the panel's caption.
  double histogram(canvas& c, double top, double h) const {
    const double left = 80, w = 470;
    const double a = static_cast<double>(area_);
    const auto nb = static_cast<int64_t>(bins_.size());
    const axis x{(static_cast<double>(a0_) - 0.5) / a,
                 (static_cast<double>(a0_ + nb * bin_) - 0.5) / a, left, left + w};
    const int64_t most = std::max<int64_t>(1, *std::max_element(bins_.begin(), bins_.end()));
    // headroom above the tallest bar for the bounds' labels
    const axis y{0, static_cast<double>(most) * 1.2, top + h, top};
    c.text(left, top - 14, "Item areas", "p");
    draw_axes(c, x, make_ticks(x.lo, x.hi, w, true, tick_kind::real), y,
              make_ticks(0, y.hi, h, false, tick_kind::count),
              "item area / object area \xE2\x86\x92", "item types \xE2\x86\x92", 22);
    const double bw = w / static_cast<double>(nb);
    const double gap = bw >= 4 ? 1 : 0;
    for (int64_t k = 0; k < nb; ++k) {
      const int64_t n = bins_[static_cast<std::size_t>(k)];
      if (n == 0) continue;
      const double py = y.px(static_cast<double>(n));
      c.rect(left + static_cast<double>(k) * bw + gap / 2, py, bw - gap, y.p0 - py, "b");
    }
    c.line(x.p0, y.p0, x.p1, y.p0, "t");
    c.line(x.p0, y.p0, x.p0, y.p1, "t");

    std::vector<std::string> notes;
    notes.push_back("Bars count the item types by area, " +
                    (bin_ == 1 ? std::string("one bar per integer area")
                               : "each bar " + std::to_string(bin_) + " units of area wide") +
                    "; the area is shown as a share of the object's area " + std::to_string(area_) +
                    ".");
    if (run_.answers) {
      const auto& p = *run_.answers;
      bound_line(c, x, y, static_cast<double>(p.minarea) / a,
                 "minarea " + std::to_string(p.minarea), true);
      bound_line(c, x, y, static_cast<double>(p.maxarea) / a,
                 "maxarea " + std::to_string(p.maxarea), false);
      notes.push_back("Dashed lines: the admissible areas minarea " + std::to_string(p.minarea) +
                      " and maxarea " + std::to_string(p.maxarea) + " from the bounds " +
                      short_real(p.minrelsize) + " and " + short_real(p.maxrelsize) + ".");
    } else {
      notes.push_back("The area bounds are not marked: only the answers file tells them.");
    }
    if (sum_.items == 0) c.text((x.p0 + x.p1) / 2, (y.p0 + y.p1) / 2, "no item types", "a m");
    return caption(c, 16, top + h + 62, left + w - 16, notes);
  }

  // A bound's line with its name beside it inside the plot: the lower bound's
  // left of its line and the upper's right, where there is room, and a row
  // apart so that the two never run into each other.
  static void bound_line(canvas& c, const axis& x, const axis& y, double value,
                         const std::string& label, bool lower) {
    const double px = x.px(value), lw = text_width(label, 11);
    c.line(px, y.p0, px, y.p1, "x");
    const bool left_side = lower ? px - 5 - lw >= x.p0 : px + 5 + lw > x.p1;
    c.text(left_side ? px - 5 : px + 5, y.p1 + (lower ? 14 : 29), label, left_side ? "bl e" : "bl");
  }

  double scatter(canvas& c, double top, double h) const {
    const double w = 300;
    // room above and right of the items for the object's lines and names
    const double xhi = static_cast<double>(xmax_) * 1.06 + 0.5,
                 yhi = static_cast<double>(ymax_) * 1.1 + 0.5;
    const auto yt = make_ticks(0, yhi, h, false, tick_kind::integer);
    const double left = 700 + std::max(0.0, widest(yt) - 30);
    const axis x{0, xhi, left, left + w};
    const axis y{0, yhi, top + h, top};
    c.text(left, top - 14, "Item lengths against widths", "p");
    draw_axes(c, x, make_ticks(x.lo, x.hi, w, true, tick_kind::integer), y, yt,
              "length \xE2\x86\x92", "width \xE2\x86\x92", left - widest(yt) - 22);
    const int64_t most = std::max<int64_t>(1, *std::max_element(cells_.begin(), cells_.end()));
    auto shade = [&](int64_t n) {  // on a log scale: counts span orders of magnitude
      const double t =
          most == 1 ? 0.5 : std::log(static_cast<double>(n)) / std::log(static_cast<double>(most));
      return 1 + static_cast<int>(std::lround(t * (shades - 1)));
    };
    for (int64_t j = 0; j < ncy_; ++j)
      for (int64_t i = 0; i < ncx_; ++i) {
        const int64_t n = cells_[static_cast<std::size_t>(j * ncx_ + i)];
        if (n == 0) continue;
        // a cell holds the values i cx + 1 .. (i + 1) cx, centred on them
        const double x0 = x.px(static_cast<double>(i * cx_) + 0.5);
        const double x1 = x.px(static_cast<double>((i + 1) * cx_) + 0.5);
        const double y0 = y.px(static_cast<double>((j + 1) * cy_) + 0.5);
        const double y1 = y.px(static_cast<double>(j * cy_) + 0.5);
        const int s = shade(n);
        c.rect(x0, y0, x1 - x0, y1 - y0, shade_class('v', s));
        const std::string label = count_label(static_cast<double>(n));
        if (x1 - x0 >= text_width(label, 11) + 6 && y1 - y0 >= 15)
          c.text((x0 + x1) / 2, (y0 + y1) / 2 + 4, label, s >= 5 ? "w m" : "u m");
      }
    c.line(x.p0, y.p0, x.p1, y.p0, "t");
    c.line(x.p0, y.p0, x.p0, y.p1, "t");

    // The object's sides, where the items come near them. The top right
    // stays empty (no item is both long and wide), so the names go there.
    std::vector<std::string> notes;
    notes.push_back(
        cx_ == 1 && cy_ == 1
            ? std::string(
                  "Each square is one length and width; its shade tells how many item types "
                  "have them (log scale).")
            : "Each cell groups " + plural(cx_, "length", "lengths") + " by " +
                  plural(cy_, "width", "widths") +
                  "; its shade tells how many item types fall in it (log scale).");
    const bool show_length = run_.object.length <= xmax_, show_width = run_.object.width <= ymax_;
    const double ox = x.px(run_.object.length), oy = y.px(run_.object.width);
    if (show_length) {
      c.line(ox, y.p0, ox, y.p1, "x");
      const double ty = show_width ? oy + 6 : y.p1 + 4;
      c.text(ox - 5, ty, "object length " + std::to_string(run_.object.length), "bl e",
             "transform=\"rotate(-90 " + num(ox - 5) + " " + num(ty) + ")\"");
    }
    if (show_width) {
      c.line(x.p0, oy, x.p1, oy, "x");
      c.text(x.p0 + 5, oy - 5, "object width " + std::to_string(run_.object.width), "bl");
    }
    std::string sides =
        show_length && show_width ? "Dashed: the object's length and width."
        : show_length             ? "Dashed: the object's length; its width, " +
                            std::to_string(run_.object.width) + ", lies far above the widest item."
        : show_width
            ? "Dashed: the object's width; its length, " + std::to_string(run_.object.length) +
                  ", lies far right of the longest item."
            : "The object (" + size_text(run_.object.length, run_.object.width) +
                  ") lies far beyond the items.";
    if (run_.answers) {
      for (const int32_t a : {run_.answers->minarea, run_.answers->maxarea}) area_curve(c, x, y, a);
      sides += " Dotted: length \xC3\x97 width = minarea and = maxarea.";
    }
    notes.push_back(sides);

    // shade key
    const double kx = x.p1 + 18, ky = top + 20;
    c.text(kx, top + 6, "item types", "k");
    for (int l = shades; l >= 1; --l)
      c.rect(kx, ky + (shades - l) * 14, 14, 14, shade_class('v', l));
    c.text(kx + 18, ky + 11, count_label(static_cast<double>(most)), "k");
    if (most > 1) c.text(kx + 18, ky + shades * 14 - 3, "1", "k");
    return caption(c, left - 70, top + h + 62, width - (left - 70) - 16, notes);
  }

  static void area_curve(canvas& c, const axis& x, const axis& y, double a) {
    if (a <= 0) return;
    const double l0 = std::max(a / y.hi, 0.5);
    if (l0 >= x.hi) return;
    std::string points;
    for (int k = 0; k <= 80; ++k) {
      const double l = l0 * std::pow(x.hi / l0, k / 80.0);
      const double wv = std::min(a / l, y.hi);
      points += num(x.px(l)) + "," + num(y.px(wv)) + " ";
    }
    points.pop_back();
    c.raw("<polyline class=\"y\" points=\"" + points + "\"/>\n");
  }

  const run_info& run_;
  const run_summary& sum_;
  int64_t area_ = 1, a0_ = 0, bin_ = 1;
  std::vector<int64_t> bins_;
  int64_t xmax_ = 1, ymax_ = 1, cx_ = 1, cy_ = 1, ncx_ = 1, ncy_ = 1;
  std::vector<int64_t> cells_;
};

void write_file(const fs::path& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  if (f) f.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (f) f.close();
  if (!f) throw sheetgen::error("Cannot write file " + path.string() + "!");
}

}  // namespace

std::vector<fs::path> draw(const run_info& run, const instance_pass& pass,
                           const std::vector<int64_t>& chosen_instances, const fs::path& dir) {
  if (run.object.length <= 0 || run.object.width <= 0)
    throw sheetgen::error("Cannot draw an object of " +
                          size_text(run.object.length, run.object.width) + "!");
  // First pass: the counts and ranges the pictures are laid out by.
  run_summary sum;
  pass([&](const instance& inst) {
    ++sum.instances;
    sum.items += static_cast<int64_t>(inst.items.size());
    sum.defects += static_cast<int64_t>(inst.defects.size());
    for (const auto& r : inst.items) {
      sum.min_area = std::min<int64_t>(sum.min_area, r.area);
      sum.max_area = std::max<int64_t>(sum.max_area, r.area);
      sum.max_length = std::max<int64_t>(sum.max_length, r.length);
      sum.max_width = std::max<int64_t>(sum.max_width, r.width);
    }
    for (const auto& d : inst.defects)
      sum.defect_area +=
          static_cast<double>(int64_t{d.x2} - d.x1) * static_cast<double>(int64_t{d.y2} - d.y1);
  });
  const std::set<int64_t> wanted(chosen_instances.begin(), chosen_instances.end());
  for (const int64_t n : wanted)
    if (n < 1 || n > sum.instances)
      throw sheetgen::error("Instance " + std::to_string(n) + " is not in the run: it has " +
                            plural(sum.instances, "instance", "instances") + "!");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir))
    throw sheetgen::error("Cannot create folder " + dir.string() + "!");

  std::vector<fs::path> written;
  defect_overlay overlay(run, sum);
  item_charts items(run, sum);
  pass([&](const instance& inst) {
    overlay.add(inst);
    items.add(inst);
    if (wanted.count(inst.number)) {
      written.push_back(dir / ("instance_" + std::to_string(inst.number) + ".svg"));
      write_file(written.back(), instance_svg(run, inst, sum.instances));
    }
  });
  written.push_back(dir / "defects.svg");
  write_file(written.back(), overlay.svg());
  written.push_back(dir / "items.svg");
  write_file(written.back(), items.svg());
  return written;
}

}  // namespace sheetkit
