#include <sheetgen/visible_bytes.h>

namespace sheetgen {

std::string visible_bytes(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\' || (c == quote && quote != '\0')) {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7f) {
      constexpr char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace sheetgen
