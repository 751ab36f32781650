#include "pictures/svg_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/markup.h"
#include "text/text.h"

namespace sheetkit::svg {

std::string decimal(double v, int significant) {
  if (v == 0 || !std::isfinite(v)) return fixed_text(v, 0);
  const int magnitude = static_cast<int>(std::floor(std::log10(std::abs(v))));
  std::string s = fixed_text(v, std::max(0, significant - 1 - magnitude));
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

std::string percent(double share) { return decimal(100 * share, 3) + "%"; }

namespace {

// One decimal at most, and only when it is the whole truth.
std::string scaled(int64_t n, int64_t unit, char suffix) {
  const int64_t tenths = n / (unit / 10);
  std::string s = std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    s += '.';
    s += std::to_string(tenths % 10);
  }
  if (n != 0) s += suffix;
  return s;
}

}  // namespace

std::string count_label(int64_t n) {
  if (n >= 1000000 && n % 100000 == 0) return scaled(n, 1000000, 'M');
  if (n >= 10000 && n < 1000000 && n % 100 == 0) return scaled(n, 1000, 'k');
  return std::to_string(n);
}

std::vector<std::string> count_labels(const std::vector<int64_t>& counts) {
  const int64_t largest = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
  int64_t unit = 1;
  char suffix = 0;
  if (largest >= 1000000) {
    unit = 1000000, suffix = 'M';
  } else if (largest >= 10000) {
    unit = 1000, suffix = 'k';
  }
  // Exact in tenths of the unit, or every count in full.
  const bool exact = unit > 1 && std::all_of(counts.begin(), counts.end(), [&](int64_t n) {
                       return n >= 0 && n % (unit / 10) == 0;
                     });
  std::vector<std::string> labels;
  labels.reserve(counts.size());
  for (const int64_t n : counts)
    labels.push_back(exact ? scaled(n, unit, suffix) : std::to_string(n));
  return labels;
}

double text_width(std::string_view s, double size) {
  return static_cast<double>(code_points(s)) * 0.62 * size;
}

box text_box(point at, std::string_view s, double size, anchor where, bool upward) {
  const double length = text_width(s, size);
  const double before = where == anchor::start ? 0 : where == anchor::middle ? length / 2 : length;
  // Capitals reach about 0.75 of the size above the baseline, descenders
  // a quarter below.
  const double ascent = 0.8 * size, descent = 0.25 * size;
  if (!upward) return {at.x - before, at.y - ascent, length, ascent + descent};
  // Turned by -90 degrees: the text runs up from its anchor and its glyphs
  // stand to the left of the baseline.
  return {at.x - ascent, at.y - (length - before), ascent + descent, length};
}

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

double caption(canvas& c, double x, double y, double width,
               const std::vector<std::string>& paragraphs) {
  for (const auto& p : paragraphs)
    for (const auto& l : wrap(p, width, 12)) {
      c.text({x, y}, l, "caption");
      y += 16;
    }
  return y;
}

}  // namespace sheetkit::svg
