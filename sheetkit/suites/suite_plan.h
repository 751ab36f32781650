// A suite's fixed order and its shards. The order is the classes in the file's
// order, each with its seeds in order; a shard takes every N-th piece of
// it. A piece is one set, or a whole class with "complete": which of its
// seeds make sets depends on which runs abort, so one worker decides them.
#ifndef SHEETKIT_SUITE_PLAN_H_
#define SHEETKIT_SUITE_PLAN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "suites/suite_definition.h"

namespace sheetkit {

// One piece of the order: a class with "complete", or one seed's set of
// another class.
struct suite_unit {
  const suite_class* cls = nullptr;
  int32_t seed = 0;  // unused for a class with "complete"
};

// Shard K of N takes the pieces at the 1-based positions p with
// (p - 1) mod N == K - 1. 1/1 is the whole suite.
struct suite_shard {
  int64_t k = 1;
  int64_t n = 1;

  bool whole() const { return n == 1; }
  // "K/N" with 1 <= K <= N; throws sheetgen::error saying what is expected.
  static suite_shard parse(std::string_view text);
};

// The pieces of `suite` that `shard` takes, in order.
std::vector<suite_unit> suite_units(const suite_definition& suite, suite_shard shard);

// A set's folder, relative to the suite's: "CLASS/sSEED" ("s-1" for -1).
std::string set_name(const suite_class& c, int32_t seed);

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_PLAN_H_
