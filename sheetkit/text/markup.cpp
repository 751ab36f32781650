#include "text/markup.h"

#include <algorithm>

namespace sheetkit {

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

std::string xml_escape(std::string_view s) {
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

std::string latex_escape(std::string_view s) {
  std::string out;
  for (const char c : s) {
    switch (c) {
      case '_':
      case '&':
      case '%':
      case '$':
      case '#':
      case '{':
      case '}':
        out += '\\';
        out += c;
        break;
      case '~':
        out += "\\textasciitilde{}";
        break;
      case '^':
        out += "\\textasciicircum{}";
        break;
      case '\\':
        out += "\\textbackslash{}";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string latex_two_lines(std::string_view heading, char align) {
  std::size_t best = std::string_view::npos, longest = heading.size();
  for (std::size_t at = heading.find(' '); at != std::string_view::npos;
       at = heading.find(' ', at + 1)) {
    const std::size_t line = std::max(at, heading.size() - at - 1);
    if (line < longest) {
      longest = line;
      best = at;
    }
  }
  if (best == std::string_view::npos) return latex_escape(heading);
  return std::string("\\begin{tabular}[b]{@{}") + align + "@{}}" +
         latex_escape(heading.substr(0, best)) + "\\\\" + latex_escape(heading.substr(best + 1)) +
         "\\end{tabular}";
}

std::size_t code_points(std::string_view s) {
  return static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace sheetkit
