// The C++ library's own rates, which bench/python_bench.py holds the Python
// package to: item types generated per second by item_generator alone, and
// lines read per second by instance_reader (opened by name: a mapped
// file). Prints "generate ITEMS SECONDS" and "read LINES SECONDS", each the best of three.
// Usage: library_rates INSTANCES ITEM_TYPES INSTANCE_FILE
//   (a 20000 x 20000 object, bounds 0.001 and 0.1, seed 1: the reference case)
#include <sheetgen/generator.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/types.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

double best_of_three(const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: library_rates INSTANCES ITEM_TYPES INSTANCE_FILE\n");
    return 2;
  }
  sheetgen::run_parameters p;
  p.no_instances = std::atoi(argv[1]);
  p.object = sheetgen::rectangle::of(20000, 20000);
  p.no_items = std::atoi(argv[2]);
  p.minrelsize = 0.001f;
  p.maxrelsize = 0.1f;
  p.seed = 1;

  long long items = 0;
  long long checksum = 0;  // so that no item goes unused
  const double generate = best_of_three([&] {
    sheetgen::item_generator g(p);
    items = 0;
    while (g.next()) {
      items += static_cast<long long>(g.items().size());
      checksum += g.items().back().area;
    }
  });
  long long lines = 0;
  const double read = best_of_three([&] {
    sheetgen::instance_reader reader(std::filesystem::path(argv[3]), argv[3]);
    std::vector<sheetgen::rectangle> block;
    lines = 0;
    while (reader.next(block)) lines += static_cast<long long>(block.size());
  });
  std::printf("generate %lld %.6f\nread %lld %.6f\n", items, generate, lines, read);
  return checksum == 0 ? 1 : 0;
}
