#include "solutions/claims.h"

#include <sheetgen/types.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "files/regular_file.h"

namespace sheetkit {

solution_claims read_claims(const std::filesystem::path& file) {
  // Named by the user, it may be a pipe; a folder or a device is refused
  // with its name, and no output of a solver is larger than this.
  const std::string text = read_small_file(file, uint64_t{1} << 28, true);
  solution_claims c;
  c.file = file.string();
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw sheetgen::error(c.file + ": not JSON: " + e.what());
  }
  if (!j.is_object() || !j.contains("Output") || !j["Output"].is_object() ||
      !j["Output"].contains("Solution") || !j["Output"]["Solution"].is_object()) {
    throw sheetgen::error(c.file + ": no Output.Solution; is this the solver's --output file?");
  }
  const nlohmann::json& s = j["Output"]["Solution"];
  const auto integer = [&](const char* key,
                           std::optional<std::string>& said) -> std::optional<int64_t> {
    if (!s.contains(key) || s[key].is_null()) return std::nullopt;
    if (!s[key].is_number_integer())
      throw sheetgen::error(c.file + ": Output.Solution." + key + " is not an integer");
    if (s[key].is_number_unsigned() &&
        s[key].get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      said = s[key].dump();
      return std::numeric_limits<int64_t>::max();
    }
    return s[key].get<int64_t>();
  };
  c.items = integer("NumberOfItems", c.items_text);
  c.item_area = integer("ItemArea", c.item_area_text);
  c.bins = integer("NumberOfBins", c.bins_text);
  if (s.contains("ItemProfit") && s["ItemProfit"].is_number())
    c.item_profit = s["ItemProfit"].get<double>();
  if (s.contains("Feasible") && s["Feasible"].is_boolean()) c.feasible = s["Feasible"].get<bool>();
  return c;
}

void check_claims(const solution_claims& claims, const solution& s, solution_report& report,
                  std::size_t keep) {
  const solution_figures f = report.figures;
  const auto differ = [&](const std::string& what, const std::string& claimed,
                          const std::string& shown) {
    report.add(
        {claims.file + ": " + what + " " + claimed + ", where " + s.file + " shows " + shown},
        keep);
  };
  const auto quoted = [](int64_t v, const std::optional<std::string>& said) {
    return said ? *said : std::to_string(v);
  };
  if (claims.items && (*claims.items != f.items_placed || claims.items_text))
    differ("NumberOfItems", quoted(*claims.items, claims.items_text),
           std::to_string(f.items_placed));
  if (claims.item_area && (*claims.item_area != f.placed_area || claims.item_area_text))
    differ("ItemArea", quoted(*claims.item_area, claims.item_area_text),
           std::to_string(f.placed_area));
  if (claims.item_profit && std::fabs(*claims.item_profit - static_cast<double>(f.profit)) >= 0.5) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", *claims.item_profit);
    differ("ItemProfit", text, std::to_string(f.profit));
  }
  if (claims.bins) {
    // Bins the certificate uses: its plates, or its BIN rows' copies.
    int64_t bins = 0;
    if (s.format == solution_format::guillotine) {
      std::set<int64_t> plates;
      for (const cut_node& n : s.nodes) plates.insert(n.plate);
      bins = static_cast<int64_t>(plates.size());
    } else if (s.format == solution_format::rectangle) {
      // Capped: a hostile certificate's copies must not wrap into a match.
      for (const stated_bin& b : s.bins)
        if (__builtin_add_overflow(bins, b.copies, &bins))
          bins = std::numeric_limits<int64_t>::max();
    } else {
      bins = s.items.empty() ? 0 : 1;
    }
    if (*claims.bins != bins || claims.bins_text)
      differ("NumberOfBins", quoted(*claims.bins, claims.bins_text), std::to_string(bins));
  }
  if (claims.feasible && *claims.feasible && !report.feasible()) {
    const int64_t n = report.violation_count;
    report.add({claims.file + ": Feasible true, where " + s.file + " has " + std::to_string(n) +
                (n == 1 ? " violation" : " violations")},
               keep);
  }
}

void judge_claims(judgement& j, const std::filesystem::path& claims, std::size_t keep) {
  if (!j.judged) return;
  try {
    check_claims(read_claims(claims), j.read, j.report, keep);
  } catch (const sheetgen::error& e) {
    j.judged = false;
    j.why = e.what();
  }
}

}  // namespace sheetkit
