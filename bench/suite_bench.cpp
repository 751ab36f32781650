// Measures sheetkit suite make and verify on a suite of 8 sets of the
// reference case (200 x 20000 items on 20000 x 20000, bounds 0.001 and
// 0.1, seeds 1 to 8), with one job and with two, the best of three runs,
// each as its own process so that its peak resident memory is its own; the
// second job's share of it is the memory of one worker; then the same for
// 8 sets of a knapsack family of as many item types. Run from the build folder:
//   bench/suite_bench [DIR]     the measurements, in a scratch folder in DIR
//                               (default: the temporary folder); 1.3 GB
//   bench/suite_bench --smoke   everything once on a tiny suite (CI)
// On a disk slower than the generator both take the disk's time; a tmpfs
// such as /dev/shm shows what the jobs themselves take.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "sheetkit_run.h"

namespace fs = std::filesystem;

using bench::measured;
using bench::sheetkit;

int main(int argc, char** argv) {
  const auto setup = bench::start("suite_bench", argc, argv);
  if (!setup) return 2;
  const bool smoke = setup->smoke;
  const fs::path& scratch = setup->scratch;
  const std::string suite = (scratch / "suite.json").string();
  std::ofstream(suite) << bench::reference_suite(smoke);
  std::printf("8 sets of %s\n",
              smoke ? "5 x 2000 items (smoke)" : "the reference case, 200 x 20000 items");

  // The best of three: another process on the machine only ever slows a run.
  const int repeats = smoke ? 1 : 3;
  measured runs[2][2];  // [make, verify][one job, two]
  for (int jobs = 1; jobs <= 2; ++jobs) {
    const std::string dir = (scratch / ("j" + std::to_string(jobs))).string();
    const std::string j = std::to_string(jobs);
    for (int r = 0; r < repeats; ++r) {
      // Each make starts with the disk quiet: not writing back the suite before.
      sync();
      const measured made = sheetkit({"suite", "make", suite, "-o", dir, "-j", j});
      const measured verified = sheetkit({"suite", "verify", dir, "-j", j});
      fs::remove_all(dir);
      for (const auto& [best, m] :
           {std::pair{&runs[0][jobs - 1], made}, {&runs[1][jobs - 1], verified}}) {
        if (r == 0 || m.seconds < best->seconds) *best = m;
      }
    }
    bench::report("make -j " + j, runs[0][jobs - 1], 22);
    bench::report("verify -j " + j, runs[1][jobs - 1], 22);
  }
  for (int task = 0; task < 2; ++task) {
    std::printf("%s: -j 2 takes %.2f of the time of -j 1; a worker's memory %.1f MiB\n",
                task == 0 ? "make" : "verify", runs[task][1].seconds / runs[task][0].seconds,
                static_cast<double>(runs[task][1].peak_kib - runs[task][0].peak_kib) / 1024);
  }

  // The same for a family class of as many item types, as two nested
  // layers of four seeds: 8 sets, made by the family's code, verified by it.
  const std::string families = (scratch / "families.json").string();
  std::ofstream(families) << R"({"suite": "families", "seeds": {"first": 1, "count": 4},
 "classes": [{"name": "ks", "family": "knapsack", "parameters": {"type": 1, "items": )"
                          << (smoke ? "2000" : "20000") << R"(}, "instances": )"
                          << (smoke ? "5" : "200") << R"(,
   "defects": {"law": "separate", "count": 4}, "layers": [0, 4]}]}
)";
  std::printf("8 sets of a knapsack family, %s\n",
              smoke ? "5 x 2000 item types (smoke)" : "200 x 20000 item types");
  measured family[2][2];
  for (int jobs = 1; jobs <= 2; ++jobs) {
    const std::string dir = (scratch / ("f" + std::to_string(jobs))).string();
    const std::string j = std::to_string(jobs);
    for (int r = 0; r < repeats; ++r) {
      sync();
      const measured made = sheetkit({"suite", "make", families, "-o", dir, "-j", j});
      const measured verified = sheetkit({"suite", "verify", dir, "-j", j});
      fs::remove_all(dir);
      for (const auto& [best, m] :
           {std::pair{&family[0][jobs - 1], made}, {&family[1][jobs - 1], verified}}) {
        if (r == 0 || m.seconds < best->seconds) *best = m;
      }
    }
    bench::report("family make -j " + j, family[0][jobs - 1], 22);
    bench::report("family verify -j " + j, family[1][jobs - 1], 22);
  }
  for (int task = 0; task < 2; ++task) {
    std::printf("family %s: -j 2 takes %.2f of the time of -j 1\n", task == 0 ? "make" : "verify",
                family[task][1].seconds / family[task][0].seconds);
  }
  fs::remove_all(scratch);
  return 0;
}
