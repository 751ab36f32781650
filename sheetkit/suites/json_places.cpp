#include "suites/json_places.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

namespace sheetkit {

json_places::json_places(std::string_view text) : text_(text) {
  // nlohmann-json skips a UTF-8 byte order mark.
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
  scan_value("", 0);
}

std::size_t json_places::value(const std::string& pointer) const {
  const auto p = places_.find(pointer);
  return p == places_.end() ? 0 : p->second.value;
}

std::size_t json_places::key(const std::string& pointer) const {
  const auto p = places_.find(pointer);
  return p == places_.end() ? 0 : p->second.key;
}

std::string_view json_places::raw(const std::string& pointer) const {
  const auto p = places_.find(pointer);
  if (p == places_.end()) return {};
  return text_.substr(p->second.value, p->second.end - p->second.value);
}

std::string json_places::line_column(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t line_start = before.rfind('\n') + 1;  // npos + 1 is 0
  return std::to_string(std::count(before.begin(), before.end(), '\n') + 1) + ":" +
         std::to_string(offset - line_start + 1);
}

std::string json_places::child(const std::string& pointer, std::string_view key) {
  std::string step = pointer + "/";
  for (const char c : key) {
    if (c == '~') {
      step += "~0";
    } else if (c == '/') {
      step += "~1";
    } else {
      step += c;
    }
  }
  return step;
}

std::string json_places::child(const std::string& pointer, std::size_t index) {
  return pointer + "/" + std::to_string(index);
}

void json_places::skip_space() {
  while (at_ < text_.size() &&
         (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
    ++at_;
  }
}

void json_places::skip_string() {
  for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
    if (text_[at_] == '\\') ++at_;
  }
  ++at_;
}

// Returns where the value starts; its place is recorded by the caller's
// pointer. Objects and arrays record their members.
std::size_t json_places::scan_value(const std::string& pointer, int depth) {
  skip_space();
  const std::size_t start = at_;
  places_[pointer].value = start;
  if (at_ >= text_.size()) return start;
  const char c = text_[at_];
  if (c == '{' || c == '[') {
    if (depth >= max_depth) {
      throw sheetgen::error(line_column(text_, start) + ": nested too deeply (at most " +
                            std::to_string(max_depth) + " levels)");
    }
    const char close = c == '{' ? '}' : ']';
    std::set<std::string> keys;
    ++at_;
    for (std::size_t index = 0;; ++index) {
      skip_space();
      if (at_ >= text_.size() || text_[at_] == close) break;
      if (text_[at_] == ',') {
        ++at_;
        skip_space();
      }
      std::string member;
      std::size_t key_at = at_;
      if (c == '{') {
        skip_string();
        // The key as nlohmann-json decodes it, escapes and all.
        member = nlohmann::json::parse(text_.substr(key_at, at_ - key_at)).get<std::string>();
        skip_space();
        ++at_;  // the colon
        if (!keys.insert(member).second && !repeated_) repeated_ = child(pointer, member);
      }
      const std::string inner = c == '{' ? child(pointer, member) : child(pointer, index);
      const std::size_t value_at = scan_value(inner, depth + 1);
      places_[inner].key = c == '{' ? key_at : value_at;
    }
    ++at_;
  } else if (c == '"') {
    skip_string();
  } else {
    while (at_ < text_.size() &&
           std::string_view(",]} \t\r\n").find(text_[at_]) == std::string_view::npos) {
      ++at_;
    }
  }
  places_[pointer].end = at_;
  return start;
}

}  // namespace sheetkit
