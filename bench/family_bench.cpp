// Item types made per second by each family in memory (family_run::make
// alone, no file), and by generate's text for the files: the families'
// target is 50 million item types a second on one core. Prints one line
// per case, the best of three, in CPU seconds of this process (on a
// machine shared with other work, the wall clock measures the others);
// --smoke runs each case once on a tiny run.
#include <sheetgen/defect_file.h>
#include <sheetgen/families.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/value_file.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

double best_of(int times, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < times; ++i) {
    const std::clock_t start = std::clock();
    work();
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

struct bench_case {
  const char* name;
  sheetgen::family_settings settings;
};

}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
  const std::string items = smoke ? "100" : "20000";
  const int32_t instances = smoke ? 2 : 200;
  std::vector<bench_case> cases = {
      {"binpacking class 1", {"binpacking", {{"class", "1"}, {"items", items}}, "", {}, instances}},
      {"binpacking class 9", {"binpacking", {{"class", "9"}, {"items", items}}, "", {}, instances}},
      {"knapsack type 2", {"knapsack", {{"type", "2"}, {"items", items}}, "", {}, instances}},
      {"gcut", {"gcut", {{"items", items}}, "", {}, instances}},
      {"gcut, separate 8", {"gcut", {{"items", items}}, "separate", {{"count", "8"}}, instances}},
  };
  std::printf("%-22s %14s %10s %16s\n", "family", "item types", "CPU s", "item types/s");
  for (const bench_case& c : cases) {
    const sheetgen::family_run run(c.settings);
    sheetgen::family_instance in;
    int64_t made = 0;
    const double seconds = best_of(smoke ? 1 : 3, [&] {
      made = 0;
      for (int32_t n = 1; n <= instances; ++n) {
        run.make(n, in);
        made += static_cast<int64_t>(in.items.size());
      }
    });
    std::printf("%-22s %14lld %10.4f %16.0f\n", c.name, static_cast<long long>(made), seconds,
                static_cast<double>(made) / seconds);
  }
  // With the files' text, as generate writes it (the writing itself left out).
  const sheetgen::family_run run(cases[2].settings);
  sheetgen::family_instance in;
  std::string a, b;
  int64_t made = 0;
  const double seconds = best_of(smoke ? 1 : 3, [&] {
    made = 0;
    for (int32_t n = 1; n <= instances; ++n) {
      run.make(n, in);
      a.clear(), b.clear();
      sheetgen::append_item_block(in.items, a);
      sheetgen::append_value_block(in.values, in.copies, b);
      made += static_cast<int64_t>(in.items.size());
    }
  });
  std::printf("%-22s %14lld %10.4f %16.0f\n", "knapsack, with text", static_cast<long long>(made),
              seconds, static_cast<double>(made) / seconds);
  // The perfect family: its target is an instance of 1000 item types in
  // 10 ms, tree, defects and shuffle included.
  const int32_t trees = smoke ? 2 : 50;
  const sheetgen::family_run perfect(
      {"perfect",
       {{"items", "1000"},
        {"length", "6000"},
        {"width", "3210"},
        {"least", "5"},
        {"defect_sizes", "40x30,41x31,42x32,43x33,44x34,45x35,46x36,47x37"}},
       "",
       {},
       trees});
  const double tree_seconds = best_of(smoke ? 1 : 3, [&] {
    for (int32_t n = 1; n <= trees; ++n) perfect.make(n, in);
  });
  std::printf("%-22s %14d %10.4f %13.3f ms an instance\n", "perfect, 8 defects", 1000 * trees,
              tree_seconds, 1000 * tree_seconds / trees);
  return 0;
}
