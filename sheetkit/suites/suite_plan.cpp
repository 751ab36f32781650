#include "suites/suite_plan.h"

#include <sheetgen/types.h>

#include "text/text.h"

namespace sheetkit {

suite_shard suite_shard::parse(std::string_view text) {
  const std::size_t slash = text.find('/');
  const auto k = parse_positive(text.substr(0, slash));
  const auto n = slash == std::string_view::npos ? k : parse_positive(text.substr(slash + 1));
  if (slash == std::string_view::npos || !k || !n || *k > *n) {
    throw sheetgen::error("--shard: expected K/N with 1 <= K <= N, such as 2/8, not \"" +
                          std::string(text) + "\"");
  }
  return {*k, *n};
}

std::vector<suite_unit> suite_units(const suite_definition& suite, suite_shard shard) {
  std::vector<suite_unit> units;
  int64_t position = 0;
  const auto take = [&](const suite_unit& u) {
    if (position++ % shard.n == shard.k - 1) units.push_back(u);
  };
  for (const suite_class& c : suite.classes) {
    if (c.complete) {
      take({&c, 0});
    } else {
      for (const int32_t seed : c.seeds) take({&c, seed});
    }
  }
  return units;
}

std::string set_name(const suite_class& c, int32_t seed) {
  return c.name + "/s" + std::to_string(seed);
}

}  // namespace sheetkit
