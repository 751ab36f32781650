// How long the bounds of one instance take: 200 item types on a 6000 x 3210
// object with 8 defects (the glass challenge's plate), one copy each, value
// = area. Two item laws: sides uniform in [50, 1000] (subset sums fill the
// usable area quickly, so the bitset stops early) and in [1000, 3000]
// (a few fit: every type's shift runs over the whole bitset); and values
// other than the area (the table is beyond its budget: the relaxation).
// Then a perfect packing of 1000 item types with 8 defects.
//
//   bench/bounds_bench          best of five of each
//   bench/bounds_bench --smoke  once each (CI)
#include <sheetgen/perfect_packing.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "figures/bounds.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A fixed stream, so that every run measures the same instance.
struct lcg {
  uint64_t state = 20261209;
  int64_t next(int64_t lo, int64_t hi) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return lo + static_cast<int64_t>((state >> 33) % static_cast<uint64_t>(hi - lo + 1));
  }
};

template <typename F>
double best_of(int repeats, F work) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, seconds_since(start));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
  const int repeats = smoke ? 1 : 5;
  const sheetkit::rectangle object = sheetkit::rectangle::of(6000, 3210);
  std::vector<sheetkit::placed_defect> defects;
  lcg random;
  for (int k = 0; k < 8; ++k) {
    const int32_t x = static_cast<int32_t>(random.next(0, 5900));
    const int32_t y = static_cast<int32_t>(random.next(0, 3110));
    defects.push_back({x, y, x + static_cast<int32_t>(random.next(5, 100)),
                       y + static_cast<int32_t>(random.next(5, 100))});
  }
  int failures = 0;
  const auto measure = [&](const char* what, int64_t lo, int64_t hi, bool values) {
    std::vector<sheetkit::rectangle> items;
    std::vector<int64_t> worth;
    for (int k = 0; k < 200; ++k) {
      items.push_back(sheetkit::rectangle::of(
          static_cast<int32_t>(random.next(lo, hi)),
          static_cast<int32_t>(random.next(lo, std::min<int64_t>(hi, 3210)))));
      worth.push_back(items.back().area * random.next(1, 3));
    }
    sheetkit::bound_input in;
    in.object = object;
    in.items = items;
    in.defects = defects;
    if (values) in.values = worth;
    sheetkit::bound_calculator calculator;
    sheetkit::instance_bounds b;
    const double t = best_of(repeats, [&] { b = calculator(in); });
    std::printf("%-44s %8.4f s  best %lld (%s, knapsack %s%s)\n", what, t,
                static_cast<long long>(b.best), std::string(b.best_name).c_str(),
                std::string(sheetkit::method_name(b.knapsack.method)).c_str(),
                b.knapsack.exact ? ", exact" : "");
    if (b.best <= 0) ++failures;
  };
  measure("200 types, sides 50-1000, value = area", 50, 1000, false);
  measure("200 types, sides 1000-3000, value = area", 1000, 3000, false);
  measure("200 types, sides 50-1000, values 1-3 x area", 50, 1000, true);

  sheetgen::perfect_parameters p;
  p.object = sheetgen::rectangle::of(6000, 3210);
  p.item_types = 1000;
  p.stages = 3;
  p.least_side = 5;
  for (int k = 0; k < 8; ++k) p.defects.push_back(sheetgen::rectangle::of(40 + k, 30 + k));
  sheetgen::perfect_packing c;
  const double t = best_of(repeats, [&] { c = sheetgen::make_perfect_packing(p); });
  std::printf("%-44s %8.4f s  optimum %lld, %d levels\n", "perfect packing, 1000 types, 8 defects",
              t, static_cast<long long>(c.optimum), c.levels);
  if (c.items.size() != 1000) ++failures;
  return failures == 0 ? 0 : 1;
}
