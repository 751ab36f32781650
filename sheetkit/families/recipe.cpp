#include "families/recipe.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "files/files.h"
#include "text/text.h"

namespace sheetkit {

namespace {

constexpr std::string_view first_line = "sheetgen family recipe 1";

std::string check_of(std::string_view text) {
  uint64_t h = 0xcbf29ce484222325u;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3u;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

std::string joined(const std::vector<sheetgen::parameter>& parameters) {
  std::string out;
  for (const auto& [name, value] : parameters) out += ' ' + name + '=' + value;
  return out;
}

// A name the recipe may give: a plain file name in its own folder.
bool plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:\t\r\n ") == std::string_view::npos;
}

}  // namespace

std::string recipe_text(const recipe& r) {
  const sheetgen::family_settings& s = r.settings;
  std::string text(first_line);
  text += "\nfamily " + s.family + joined(s.parameters) + '\n';
  if (!s.defects.empty()) text += "defects " + s.defects + joined(s.defect_parameters) + '\n';
  if (s.layer >= 0) text += "layer " + std::to_string(s.layer) + '\n';
  text += "instances " + std::to_string(s.instances) + "\nseed " + std::to_string(s.seed) + '\n';
  // A family that places its defects itself has a defect file without a law.
  const sheetgen::family_run run(s);
  text += "instance_file " + r.instance_file + '\n';
  if (run.has_defects()) text += "defect_file " + r.defect_file + '\n';
  text += "value_file " + r.value_file + '\n';
  if (run.knows_optimum()) text += std::string(known_optimum_line) + '\n';
  return text + "check " + check_of(text) + '\n';
}

recipe parse_recipe(std::string_view given, const std::string& name) {
  // Line by line, CR LF as LF, as the other readers take them.
  std::string unix_text;
  for (std::size_t at = 0; at < given.size(); ++at) {
    if (given[at] == '\r' && at + 1 < given.size() && given[at + 1] == '\n') continue;
    unix_text += given[at];
  }
  const std::string_view text = unix_text;
  // The lines, each with its line break; a last one without is a file cut short.
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      throw sheetgen::error(name + ":" + std::to_string(lines.size() + 1) +
                            ": the line has no line break (cut short?)");
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::size_t k = 0;
  const auto fail = [&](const std::string& what) -> sheetgen::error {
    return sheetgen::error(name + ":" + std::to_string(k + 1) + ": " + what);
  };
  // The next line's words after its key, or nullopt when it has another key.
  const auto take = [&](std::string_view key,
                        bool required) -> std::optional<std::vector<std::string>> {
    if (k == lines.size()) {
      if (!required) return std::nullopt;
      throw fail("the recipe ends before its \"" + std::string(key) + "\" line (cut short?)");
    }
    std::vector<std::string> words;
    std::string_view line = lines[k];
    for (std::size_t at = 0; at <= line.size();) {
      const std::size_t space = std::min(line.find(' ', at), line.size());
      words.emplace_back(line.substr(at, space - at));
      at = space + 1;
    }
    if (words[0] != key) {
      if (!required) return std::nullopt;
      throw fail("expected the \"" + std::string(key) + "\" line here, not \"" + std::string(line) +
                 "\"");
    }
    ++k;
    words.erase(words.begin());
    return words;
  };
  const auto one = [&](std::string_view key, bool required) -> std::optional<std::string> {
    const auto words = take(key, required);
    if (!words) return std::nullopt;
    if (words->size() != 1 || (*words)[0].empty()) {
      --k;
      throw fail("\"" + std::string(key) + "\" takes one value");
    }
    return (*words)[0];
  };
  const auto number = [&](std::string_view key, bool required) -> std::optional<int32_t> {
    const std::optional<std::string> v = one(key, required);
    if (!v) return std::nullopt;
    const std::optional<int64_t> n = parse_positive(*v);
    if ((!n && *v != "0") || (n && *n > 2147483647)) {
      --k;
      throw fail("\"" + std::string(key) + "\" takes a whole number, not \"" + *v + "\"");
    }
    return static_cast<int32_t>(n.value_or(0));
  };
  const auto parameters = [&](const std::vector<std::string>& words) {
    std::vector<sheetgen::parameter> out;
    for (std::size_t w = 1; w < words.size(); ++w) {
      const std::size_t eq = words[w].find('=');
      if (eq == std::string::npos) {
        --k;
        throw fail("expected NAME=VALUE, not \"" + words[w] + "\"");
      }
      out.emplace_back(words[w].substr(0, eq), words[w].substr(eq + 1));
    }
    return out;
  };
  if (lines.empty() || lines[0] != first_line) {
    throw fail("not a family recipe: the first line is not \"" + std::string(first_line) + "\"");
  }
  ++k;
  recipe r;
  const std::vector<std::string> family = *take("family", true);
  if (family.empty() || family[0].empty()) {
    --k;
    throw fail("\"family\" takes the family's name and its parameters");
  }
  r.settings.family = family[0];
  r.settings.parameters = parameters(family);
  const std::size_t law_line = k;
  if (const auto law = take("defects", false)) {
    if (law->empty() || (*law)[0].empty()) {
      --k;
      throw fail("\"defects\" takes the law's name and its parameters");
    }
    r.settings.defects = (*law)[0];
    r.settings.defect_parameters = parameters(*law);
  }
  r.settings.layer = number("layer", false).value_or(-1);
  r.settings.instances = *number("instances", true);
  r.settings.seed = *number("seed", true);
  const std::size_t files_line = k;
  r.instance_file = *one("instance_file", true);
  // Whether the run has a defect file, or a known optimum, is the family's
  // to say: a line too many or too few is an edit, found below.
  if (const auto file = one("defect_file", false)) r.defect_file = *file;
  r.value_file = *one("value_file", true);
  const std::size_t files_end = k;
  take("known_optimum", false);
  for (std::size_t f = files_line; f < files_end; ++f) {
    const std::string_view line = lines[f];
    const std::string_view file = line.substr(line.find(' ') + 1);
    if (!plain_name(file)) {
      k = f;
      throw fail("\"" + std::string(file) +
                 "\" is not a plain file name: the recipe names "
                 "files in its own folder");
    }
  }
  const std::optional<std::string> check = one("check", true);
  const std::size_t check_line = k - 1;
  if (k != lines.size()) throw fail("the recipe goes on after its check line");
  // Made again from what was read: what sheetkit writes, with every
  // default, in order. A recipe written by hand or edited is refused.
  sheetgen::family_settings items_only = r.settings;
  items_only.defects.clear();
  items_only.defect_parameters.clear();
  items_only.layer = -1;
  recipe complete = r;
  try {
    sheetgen::family_run{items_only};
    k = law_line;
    complete.settings = sheetgen::family_run(r.settings).settings();
  } catch (const sheetgen::error& e) {
    if (k != law_line) k = 1;
    throw fail(e.what());
  }
  const std::size_t body = text.size() - lines[check_line].size() - 1;
  if (*check != check_of(text.substr(0, body)) || recipe_text(complete) != text) {
    k = check_line;
    throw fail(
        "the check does not match the lines above it: the recipe was edited (make it "
        "again with sheetkit generate)");
  }
  return complete;
}

run_info run_from_recipe(const std::string& path) {
  // A recipe is a few hundred bytes: read no more than a MiB, never the
  // endless bytes of a device.
  constexpr std::size_t largest = std::size_t{1} << 20;
  std::ifstream in = open_input(path);
  std::string text(largest + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  read_failed(in, path);
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > largest)
    throw sheetgen::error(path + ": more than 1 MiB, too large to be a family recipe");
  const recipe r = parse_recipe(text, path);
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  run_info run;
  const sheetgen::family_run family(r.settings);
  run.object = family.object();
  run.instance_file = (folder / r.instance_file).string();
  if (family.has_defects()) run.defect_file = (folder / r.defect_file).string();
  run.value_file = (folder / r.value_file).string();
  run.family = r.settings;
  return run;
}

std::optional<int64_t> known_optimum(const sheetgen::family_run& family, const instance& in) {
  if (!family.knows_optimum()) return std::nullopt;
  sheetgen::family_instance read;
  read.items = in.items;
  read.defects = in.defects;
  for (const sheetgen::item_value& v : in.values) {
    read.values.push_back(v.value);
    read.copies.push_back(v.copies);
  }
  return family.known_optimum(read);
}

}  // namespace sheetkit
