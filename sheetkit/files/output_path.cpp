#include "files/output_path.h"

#include <system_error>

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// Absolute, with the links of the part that exists resolved.
fs::path resolved(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (!full.has_filename()) full = full.parent_path();  // "dir/"
  return full;
}

}  // namespace

bool same_or_inside(const fs::path& output, const fs::path& input) {
  std::error_code ec;
  // A hard link is the same file under another name.
  if (fs::equivalent(output, input, ec)) return true;
  const fs::path out = resolved(output);
  const fs::path in = resolved(input);
  auto o = out.begin();
  for (auto i = in.begin(); i != in.end(); ++i, ++o) {
    if (o == out.end() || *o != *i) return false;
  }
  return true;
}

std::string input_at(const fs::path& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    if (!input.empty() && same_or_inside(output, input)) return input;
  }
  return {};
}

}  // namespace sheetkit
