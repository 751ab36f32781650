#include "text/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "text/markup.h"

namespace sheetkit {

std::string count_of(int64_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

std::optional<int64_t> parse_positive(std::string_view digits) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  // Checked first: from_chars would take a minus sign and leading zeros.
  if (digits.empty() || digits.size() > 18 || digits.front() == '0' ||
      !std::all_of(digits.begin(), digits.end(), is_digit)) {
    return std::nullopt;
  }
  int64_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

namespace {

// FLT_MAX has 39 digits, FLT_TRUE_MIN 45 decimals below 1; a double's
// shortest text at most 24 characters.
using buffer = std::array<char, 64>;

}  // namespace

// Without a format, to_chars picks fixed or exponent form, whichever is
// shorter; chars_format::general would follow printf's %g instead.
std::string shortest_text(float f) {
  buffer text{};
  return {text.data(), std::to_chars(text.data(), text.data() + text.size(), f).ptr};
}

std::string shortest_text(double d) {
  buffer text{};
  return {text.data(), std::to_chars(text.data(), text.data() + text.size(), d).ptr};
}

std::string shortest_fixed(float f) {
  buffer text{};
  return {text.data(),
          std::to_chars(text.data(), text.data() + text.size(), f, std::chars_format::fixed).ptr};
}

std::string fixed_text(double v, int decimals) {
  char text[400];  // DBL_MAX has 309 digits
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

std::string percent_text(double share) { return fixed_text(100 * share, 3) + "%"; }

std::string csv_field(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string padded(std::string_view s, std::size_t width, bool left) {
  const std::size_t n = code_points(s);
  const std::string fill(width > n ? width - n : 0, ' ');
  return left ? std::string(s) + fill : fill + std::string(s);
}

std::string seconds_text(double seconds) {
  int decimals = 3;
  if (seconds > 0 && seconds < 0.01 && std::isfinite(seconds)) {
    decimals = std::min(17, 1 - static_cast<int>(std::floor(std::log10(seconds))));
  }
  char text[400];  // DBL_MAX has 309 digits
  std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  return text;
}

}  // namespace sheetkit
