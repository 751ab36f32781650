#include "suites/suite_files.h"

#include <algorithm>

namespace sheetkit::suite_files {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_folded(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return lower(a) == lower(b); });
}

}  // namespace

std::string shard_lock(int64_t k, int64_t n) {
  return ".make-" + std::to_string(k) + "-of-" + std::to_string(n) + ".lock";
}

bool is_lock(std::string_view name) {
  return name == lock || (name.starts_with(".make-") && name.ends_with(".lock"));
}

bool collides(std::string_view name) {
  return std::any_of(top.begin(), top.end(), [&](std::string_view file) {
    if (name.size() == file.size()) return starts_with_folded(name, file);
    // file_writer's temporary beside it: FILE.tmp-...
    return starts_with_folded(name, std::string(file) + ".tmp-");
  });
}

}  // namespace sheetkit::suite_files
