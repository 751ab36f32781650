// How fast solution check judges a large placement: a million items of 100
// types on a 20000 x 20000 object with 1000 defects, unlimited copies, as
// one placement file. Measured in-process (reading and checking alone) and
// as the command people run (its peak memory too).
//
//   bench/solution_bench          the million items, best of three
//   bench/solution_bench --smoke  the same on 10000 items, once (CI)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"
#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr int cell = 20;  // each item in a cell of its own, a unit short of its top right corner

sheetkit::rectangle type_of(int k) {
  return sheetkit::rectangle::of(10 + k % 10, 10 + k / 10 % 10);
}

// Writes the instance, its defects and the placement of `side` x `side` items.
void write_files(const fs::path& dir, int side) {
  std::ofstream items(dir / "instances.txt", std::ios::binary);
  for (int k = 0; k < 100; ++k) {
    const sheetkit::rectangle t = type_of(k);
    items << t.length << ".000000\t" << t.width << ".000000\t" << t.area << ".000000\n";
  }
  items << '\n';
  std::ofstream defects(dir / "defects.txt", std::ios::binary);
  for (int k = 0; k < 1000; ++k) {
    // In the free corner of a cell: touching items, never overlapping.
    const int x = (k * 7919 % side) * cell + cell - 1, y = (k * 104729 % side) * cell + cell - 1;
    defects << x << ".000000\t" << y << ".000000\t" << x + 1 << ".000000\t" << y + 1 << ".000000\n";
  }
  defects << '\n';
  std::ofstream placed(dir / "placements.csv", std::ios::binary);
  placed << sheetkit::placements_header << '\n';
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j)
      placed << "1," << (i * 31 + j) % 100 << ',' << i * cell << ',' << j * cell << ",0\n";
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::string(argv[1]) == "--smoke";
  const int side = smoke ? 100 : 1000;
  const int repeats = smoke ? 1 : 3;
  const fs::path dir = fs::temp_directory_path() / ("solution_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  write_files(dir, side);

  std::vector<sheetkit::rectangle> items;
  for (int k = 0; k < 100; ++k) items.push_back(type_of(k));
  std::vector<sheetkit::placed_defect> defects;
  {
    std::ifstream in(dir / "defects.txt");
    double x1, y1, x2, y2;
    while (in >> x1 >> y1 >> x2 >> y2)
      defects.push_back({static_cast<int32_t>(x1), static_cast<int32_t>(y1),
                         static_cast<int32_t>(x2), static_cast<int32_t>(y2)});
  }
  const int32_t object = side * cell;
  sheetkit::solution_rules rules;
  rules.copies = sheetkit::unlimited_copies;
  double best_read = 1e9, best_check = 1e9;
  for (int r = 0; r < repeats; ++r) {
    auto start = std::chrono::steady_clock::now();
    const std::vector<sheetkit::solution> s = sheetkit::read_solution(dir / "placements.csv");
    best_read = std::min(best_read, seconds_since(start));
    start = std::chrono::steady_clock::now();
    const sheetkit::solution_report report = sheetkit::check_solution(
        {sheetkit::rectangle::of(object, object), items, defects}, s[0], rules);
    best_check = std::min(best_check, seconds_since(start));
    if (!report.feasible() || report.figures.items_placed != int64_t{side} * side) {
      std::fprintf(stderr, "solution_bench: the placement should be feasible: %s\n",
                   report.violations.empty() ? "" : report.violations[0].text.c_str());
      return 1;
    }
  }
  const double n = static_cast<double>(side) * side;
  std::printf("%d placed items, %zu defects, object %d x %d\n", side * side, defects.size(), object,
              object);
  std::printf("reading the placement file: %.3f s (%.1f M items/s)\n", best_read,
              n / best_read / 1e6);
  std::printf("checking them:              %.3f s (%.1f M items/s)\n", best_check,
              n / best_check / 1e6);

  bench::measured best{1e9, 1e9, 0};
  const std::string size = std::to_string(object) + "x" + std::to_string(object);
  for (int r = 0; r < repeats; ++r) {
    const bench::measured m =
        bench::run_process({SHEETKIT_BINARY, "solution", "check", "placements.csv", "--object",
                            size, "instances.txt", "defects.txt", "--copies", "unlimited"},
                           dir.string());
    if (m.seconds < best.seconds) best = m;
  }
  std::printf("sheetkit solution check:    %.3f s (%.3f s CPU), %.1f MiB peak\n", best.seconds,
              best.cpu_seconds, static_cast<double>(best.peak_kib) / 1024);
  fs::remove_all(dir);
  return 0;
}
