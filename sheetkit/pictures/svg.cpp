// Elements are appended to one string as they come: a picture of a large
// run holds thousands of them, and the text is what gets written anyway.
#include "pictures/svg.h"

#include <sheetgen/types.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "text/markup.h"

namespace sheetkit::svg {

namespace {

// The classes that text layout and axes (svg_text.h, svg_axes.h) use, in
// every picture.
constexpr std::pair<std::string_view, std::string_view> base_style[] = {
    {"title", "font-size:16px;font-weight:bold"},
    {"panel-title", "font-size:13px;font-weight:bold"},
    {"subtitle", "font-size:12px;fill:#555"},
    {"caption", "font-size:12px;fill:#222"},
    {"scale-label", "font-size:11px;fill:#444"},
    {"axis-title", "font-size:12px;font-weight:bold;fill:#222"},
    {"middle", "text-anchor:middle"},
    {"end", "text-anchor:end"},
    {"grid", "stroke:#000;stroke-opacity:.09"},
    {"tick", "stroke:#444"},
};

bool valid_id(std::string_view id) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (id.empty() || !letter(id[0])) return false;
  for (const char c : id)
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '_') return false;
  return true;
}

}  // namespace

std::string coordinate(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

void canvas::rect(const box& b, std::string_view cls, std::string_view tooltip) {
  body_ += "<rect class=\"";
  body_ += cls;
  body_ += "\" x=\"" + coordinate(b.x) + "\" y=\"" + coordinate(b.y) + "\" width=\"" +
           coordinate(b.w) + "\" height=\"" + coordinate(b.h) + "\"";
  if (tooltip.empty()) {
    body_ += "/>\n";
  } else {
    body_ += "><title>" + xml_escape(tooltip) + "</title></rect>\n";
  }
}

void canvas::line(point from, point to, std::string_view cls) {
  body_ += "<line class=\"";
  body_ += cls;
  body_ += "\" x1=\"" + coordinate(from.x) + "\" y1=\"" + coordinate(from.y) + "\" x2=\"" +
           coordinate(to.x) + "\" y2=\"" + coordinate(to.y) + "\"/>\n";
}

void canvas::polyline(std::span<const point> points, std::string_view cls) {
  body_ += "<polyline class=\"";
  body_ += cls;
  body_ += "\" points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) body_ += ' ';
    body_ += coordinate(points[i].x) + "," + coordinate(points[i].y);
  }
  body_ += "\"/>\n";
}

void canvas::circle(point centre, double r, std::string_view cls) {
  body_ += "<circle class=\"";
  body_ += cls;
  body_ += "\" cx=\"" + coordinate(centre.x) + "\" cy=\"" + coordinate(centre.y) + "\" r=\"" +
           coordinate(r) + "\"/>\n";
}

void canvas::text(point at, std::string_view s, std::string_view cls, const text_options& options) {
  const std::string x = coordinate(at.x), y = coordinate(at.y);
  body_ += "<text class=\"";
  body_ += cls;
  body_ += "\" x=\"" + x + "\" y=\"" + y + "\"";
  if (options.font_size > 0) body_ += " font-size=\"" + coordinate(options.font_size) + "\"";
  if (options.upward) body_ += " transform=\"rotate(-90 " + x + " " + y + ")\"";
  body_ += '>';
  body_ += xml_escape(s);
  body_ += "</text>\n";
}

std::string haloed_text(std::string_view text, std::string_view opacity) {
  std::string out(text);
  out += ";stroke:#fff;stroke-width:3px;";
  if (!opacity.empty()) (out += "stroke-opacity:") += std::string(opacity) + ";";
  return out + "paint-order:stroke";
}

void canvas::style(std::string_view cls, std::string_view declarations) {
  styles_.emplace_back(cls, declarations);
}

void canvas::render(std::ostream& out, const box& frame, std::string_view title,
                    const form& how) const {
  if (!valid_id(how.id))
    throw sheetgen::error(
        "A picture's id must be a letter followed by letters, digits, '-' or "
        "'_', not \"" +
        clean_utf8(how.id) + "\"!");
  const std::string w = coordinate(std::ceil(frame.w)), h = coordinate(std::ceil(frame.h));
  const std::string x = coordinate(frame.x), y = coordinate(frame.y);
  if (how.standalone) out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" << how.id << "\" width=\"" << w
      << "\" height=\"" << h << "\" viewBox=\"" << x << ' ' << y << ' ' << w << " " << h
      << "\" font-family=\"sans-serif\">\n<title>" << xml_escape(title) << "</title>\n<style>";
  // "#id .class": a rule reaches only this picture's elements.
  for (const auto& [cls, declarations] : base_style)
    out << '#' << how.id << " ." << cls << '{' << declarations << '}';
  for (const auto& [cls, declarations] : styles_)
    out << '#' << how.id << " ." << cls << '{' << declarations << '}';
  out << "</style>\n<rect ";
  if (frame.x != 0 || frame.y != 0) out << "x=\"" << x << "\" y=\"" << y << "\" ";
  out << "width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n" << body_ << "</svg>\n";
}

std::string canvas::render(const box& frame, std::string_view title, const form& how) const {
  std::ostringstream out;
  render(out, frame, title, how);
  return std::move(out).str();
}

}  // namespace sheetkit::svg
