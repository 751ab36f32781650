// The tables of families and defect laws, the checks of their
// parameters, and a family run.
#include <sheetgen/families.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "family_parts.h"

namespace sheetgen {

namespace {

const family_kind family_table[] = {
    {"binpacking", "the ten classes of two-dimensional bin packing, as published",
     binpacking_parameters, make_binpacking},
    {"knapsack", "knapsack types I to III in the manner of Fekete and Schepers",
     knapsack_parameters, make_knapsack},
    {"gcut", "sides uniform in [L/4, 3L/4] x [W/4, 3W/4], value = area", gcut_parameters,
     make_gcut},
    {"perfect", "the leaves of a random guillotine tree around its defects: optimum known",
     perfect_parameters_table, make_perfect},
};

const defect_law_kind law_table[] = {
    {"sizes", "given sizes at uniform positions; they may overlap", sizes_parameters, make_sizes},
    {"separate", "defects that do not overlap, sides a fraction of the object's",
     separate_parameters, make_separate},
    {"points", "a few small defects, their number uniform in [low, high]", points_parameters,
     make_points},
};

// Edits (insertions, deletions, substitutions) from a to b.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "; did you mean NAME?" for the nearest of `names` within a third of the
// word's length (at least 2, at most 3 edits), else "".
template <class Names>
std::string did_you_mean(std::string_view word, const Names& names) {
  std::size_t best = std::min<std::size_t>(3, std::max<std::size_t>(2, word.size() / 3)) + 1;
  std::string found;
  for (const auto& n : names) {
    const std::size_t d = distance(word, n.name);
    if (d < best) best = d, found = n.name;
  }
  return found.empty() ? "" : "; did you mean " + found + "?";
}

template <class Names>
std::string listed(const Names& names) {
  std::string all;
  for (const auto& n : names) all += (all.empty() ? "" : ", ") + std::string(n.name);
  return all;
}

std::optional<int64_t> digits(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  if (text.size() > 1 && text[0] == '0') return std::nullopt;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-' || text[0] == '+')
    return std::nullopt;
  return v;
}

// "0.167" in millionths; at most 6 places, above 0, at most 1.
std::optional<int64_t> millionths(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view places = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  if ((whole != "0" && whole != "1") || places.size() > 6 ||
      (dot != std::string_view::npos && places.empty()))
    return std::nullopt;
  int64_t v = whole == "1" ? 1000000 : 0;
  int64_t scale = 100000;
  for (const char c : places) {
    if (c < '0' || c > '9') return std::nullopt;
    v += (c - '0') * scale;
    scale /= 10;
  }
  if (v <= 0 || v > 1000000) return std::nullopt;
  return v;
}

std::string range_of(const parameter_info& p) {
  switch (p.kind) {
    case parameter_kind::integer:
      return "an integer from " + std::to_string(p.low) + " to " + std::to_string(p.high);
    case parameter_kind::fraction:
      return "a decimal above 0 and at most 1, such as 0.167 (at most 6 places)";
    case parameter_kind::copies:
      return "an integer from " + std::to_string(p.low) + " to " + std::to_string(p.high) +
             ", or unlimited";
    case parameter_kind::sizes:
      return std::string("sizes LENGTHxWIDTH separated by commas") +
             (p.default_value != nullptr && std::string_view(p.default_value) == "none"
                  ? ", or none"
                  : "");
    case parameter_kind::orientation:
      return "vertical, horizontal or any";
  }
  return "";
}

void check_value(std::string_view owner, const parameter_info& p, const std::string& value) {
  bool ok = false;
  switch (p.kind) {
    case parameter_kind::integer:
    case parameter_kind::copies: {
      if (p.kind == parameter_kind::copies && value == "unlimited") return;
      const std::optional<int64_t> v = digits(value);
      if (v && (*v < p.low || *v > p.high)) {
        throw family_error(std::string(owner) + ": " + p.name + " " + value +
                           " is out of range: it takes " + range_of(p));
      }
      ok = v.has_value();
      break;
    }
    case parameter_kind::fraction:
      ok = millionths(value).has_value();
      break;
    case parameter_kind::sizes:
      if (value == "none" && p.default_value != nullptr &&
          std::string_view(p.default_value) == "none")
        return;
      parse_sizes(value);  // names what is wrong itself
      ok = true;
      break;
    case parameter_kind::orientation:
      ok = value == "vertical" || value == "horizontal" || value == "any";
      break;
  }
  if (!ok) {
    throw family_error(std::string(owner) + ": " + p.name + " takes " + range_of(p) + ", not \"" +
                       value + "\"");
  }
}

// The parameters given, checked against `table`, complete with defaults
// and in the table's order.
std::vector<parameter> checked(std::string_view owner, std::span<const parameter_info> table,
                               const std::vector<parameter>& given) {
  for (std::size_t k = 0; k < given.size(); ++k) {
    const std::string& name = given[k].first;
    if (std::none_of(table.begin(), table.end(),
                     [&](const parameter_info& p) { return p.name == name; })) {
      throw family_error(std::string(owner) + " has no parameter \"" + name + "\"" +
                         did_you_mean(name, table) + " (its parameters: " + listed(table) + ")");
    }
    for (std::size_t j = 0; j < k; ++j)
      if (given[j].first == name)
        throw family_error(std::string(owner) + ": " + name + " is given twice");
  }
  std::vector<parameter> out;
  for (const parameter_info& p : table) {
    const auto at = std::find_if(given.begin(), given.end(),
                                 [&](const parameter& g) { return g.first == p.name; });
    if (at == given.end() && p.default_value == nullptr) {
      throw family_error(std::string(owner) + " needs " + p.name + ": " + p.about + ", " +
                         range_of(p));
    }
    const std::string value = at == given.end() ? p.default_value : at->second;
    check_value(owner, p, value);
    out.emplace_back(p.name, value);
  }
  return out;
}

template <class Kinds>
const auto& find_kind(const Kinds& kinds, const std::string& name, const char* what,
                      const char* plural) {
  for (const auto& k : kinds)
    if (name == k.name) return k;
  throw family_error("unknown " + std::string(what) + " \"" + name + "\"" +
                     did_you_mean(name, kinds) + " (" + plural + ": " + listed(kinds) + ")");
}

}  // namespace

int64_t integer_at(std::span<const parameter> c, std::size_t k) { return *digits(c[k].second); }

int64_t millionths_at(std::span<const parameter> c, std::size_t k) {
  return *millionths(c[k].second);
}

int64_t copies_at(std::span<const parameter> c, std::size_t k) {
  return c[k].second == "unlimited" ? unlimited_copies : *digits(c[k].second);
}

std::span<const family_kind> family_kinds() { return family_table; }

std::span<const defect_law_kind> defect_law_kinds() { return law_table; }

int32_t stream_start(int32_t seed, int32_t number, int32_t purpose) {
  // splitmix64's finalizer over seed, instance and purpose: nearby seeds
  // and instances start far apart in the generator's cycle.
  uint64_t z = (uint64_t{static_cast<uint32_t>(seed)} << 32) |
               (uint64_t{static_cast<uint32_t>(number)} << 2) | static_cast<uint32_t>(purpose);
  z += 0x9e3779b97f4a7c15u;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  z ^= z >> 31;
  return static_cast<int32_t>(1 + z % 2147483646u);
}

std::vector<rectangle> parse_sizes(std::string_view text) {
  std::vector<rectangle> sizes;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view one =
        text.substr(start, comma == std::string_view::npos ? comma : comma - start);
    const std::size_t x = one.find('x');
    const std::optional<int64_t> l = digits(one.substr(0, x));
    const std::optional<int64_t> w =
        x == std::string_view::npos ? std::nullopt : digits(one.substr(x + 1));
    if (!l || !w || *l < 1 || *w < 1 || *l > 2147483647 || *w > 2147483647 ||
        *l * *w > 2147483647) {
      throw family_error(
          "sizes: expected LENGTHxWIDTH (positive, area within 2147483647) "
          "separated by commas, not \"" +
          std::string(one) + "\"");
    }
    if (sizes.size() == static_cast<std::size_t>(MAXDEF))
      throw family_error("sizes: at most " + std::to_string(MAXDEF) + " defects");
    sizes.push_back(rectangle::of(static_cast<int32_t>(*l), static_cast<int32_t>(*w)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return sizes;
}

struct family_run::state {
  family_settings settings;
  std::unique_ptr<family> items;
  std::unique_ptr<defect_law> defects;
  rectangle object;
};

family_run::family_run(family_settings settings) : s_(std::make_unique<state>()) {
  const family_kind& kind = find_kind(family_table, settings.family, "family", "families");
  settings.parameters = checked(kind.name, kind.parameters, settings.parameters);
  if (settings.instances < 1 || settings.instances > MAXMOD) {
    throw family_error("instances " + std::to_string(settings.instances) +
                       " is out of range: 1 to " + std::to_string(MAXMOD));
  }
  if (settings.seed < 0) {
    throw family_error("seed " + std::to_string(settings.seed) +
                       " is out of range: 0 to 2147483647");
  }
  s_->items = kind.make(settings.parameters);
  s_->object = s_->items->object();
  if (!settings.defects.empty() && !s_->items->takes_defect_law()) {
    throw family_error(std::string(kind.name) +
                       " places its defects itself, cut out of its tree: give their sizes as "
                       "its parameter defect_sizes=LENGTHxWIDTH,..., not the defect law " +
                       settings.defects);
  }
  if (!settings.defects.empty()) {
    const defect_law_kind& law =
        find_kind(law_table, settings.defects, "defect law", "defect laws");
    settings.defect_parameters = checked(law.name, law.parameters, settings.defect_parameters);
    s_->defects = law.make(settings.defect_parameters, s_->object);
  } else if (!settings.defect_parameters.empty()) {
    throw family_error("defect parameter \"" + settings.defect_parameters[0].first +
                       "\" given without a defect law (sizes, separate or points)");
  }
  if (settings.layer < -1 || settings.layer > MAXDEF) {
    throw family_error("layer " + std::to_string(settings.layer) + " is out of range: 0 to " +
                       std::to_string(MAXDEF));
  }
  if (settings.layer >= 0 && !s_->defects) {
    throw family_error("layer " + std::to_string(settings.layer) +
                       " takes the first defects of a defect law: give one");
  }
  s_->settings = std::move(settings);
}

family_run::~family_run() = default;
family_run::family_run(family_run&&) noexcept = default;
family_run& family_run::operator=(family_run&&) noexcept = default;

const family_settings& family_run::settings() const { return s_->settings; }

rectangle family_run::object() const { return s_->object; }

bool family_run::has_defects() const {
  return s_->defects != nullptr || s_->items->makes_defects();
}

bool family_run::makes_defects() const { return s_->items->makes_defects(); }

bool family_run::knows_optimum() const { return s_->items->knows_optimum(); }

std::optional<int64_t> family_run::known_optimum(const family_instance& in) const {
  return s_->items->known_optimum(in);
}

const family& family_run::item_law() const { return *s_->items; }

void family_run::make(int32_t number, family_instance& out) const {
  const family_settings& s = s_->settings;
  try {
    s_->items->make_items(number, s.seed, out);
  } catch (const family_error&) {
    throw;
  } catch (const error& e) {
    throw error("instance " + std::to_string(number) + ": " + e.what());
  }
  if (s_->items->makes_defects()) return;
  out.defects.clear();
  if (!s_->defects) return;
  try {
    s_->defects->draw(s_->object, stream_start(s.seed, number, 1), out.defects);
  } catch (const family_error&) {
    throw;
  } catch (const error& e) {
    throw error("instance " + std::to_string(number) + ": " + e.what());
  }
  if (s.layer >= 0 && out.defects.size() > static_cast<std::size_t>(s.layer))
    out.defects.resize(static_cast<std::size_t>(s.layer));
}

}  // namespace sheetgen
