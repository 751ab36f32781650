// Measures sheetkit suite make and verify on a suite of 8 sets of the
// reference case (200 x 20000 items on 20000 x 20000, bounds 0.001 and
// 0.1, seeds 1 to 8), with one job and with two, the best of three runs,
// each as its own process so that its peak resident memory is its own; the
// second job's share of it is the memory of one worker. Run from the build folder:
//   bench/suite_bench [DIR]     the measurements, in a scratch folder in DIR
//                               (default: the temporary folder); 1.3 GB
//   bench/suite_bench --smoke   everything once on a tiny suite (CI)
// On a disk slower than the generator both take the disk's time; a tmpfs
// such as /dev/shm shows what the jobs themselves take.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "process.h"

namespace {

namespace fs = std::filesystem;

using bench::measured;

// `sheetkit ARGS...` with its output discarded; stops the benchmark when it fails.
measured sheetkit(std::vector<std::string> args) {
  args.insert(args.begin(), SHEETKIT_BINARY);
  return bench::run_process(std::move(args));
}

void report(const char* what, const measured& m) {
  std::printf("%-22s %7.2f s (CPU %6.2f s), peak %6.1f MiB\n", what, m.seconds, m.cpu_seconds,
              static_cast<double>(m.peak_kib) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string arg = argc > 1 ? argv[1] : "";
  if (argc > 2 || (arg.rfind("-", 0) == 0 && arg != "--smoke")) {
    std::fprintf(stderr, "usage: suite_bench [--smoke | DIR]\n");
    return 2;
  }
  const bool smoke = arg == "--smoke";
  const fs::path where = arg.empty() || smoke ? fs::temp_directory_path() : fs::path(arg);
  const fs::path scratch = where / ("suite_bench_" + std::to_string(getpid()));
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  const std::string suite = (scratch / "suite.json").string();
  std::ofstream(suite) << R"({"suite": "reference", "seeds": {"first": 1, "count": 8},
 "classes": [{"name": "reference", "length": 20000, "width": 20000, "instances": )"
                       << (smoke ? 5 : 200) << R"(, "item_types": )" << (smoke ? 2000 : 20000)
                       << R"(, "lower": "0.001", "upper": "0.1"}]}
)";
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
    report(("make -j " + j).c_str(), runs[0][jobs - 1]);
    report(("verify -j " + j).c_str(), runs[1][jobs - 1]);
  }
  for (int task = 0; task < 2; ++task) {
    std::printf("%s: -j 2 takes %.2f of the time of -j 1; a worker's memory %.1f MiB\n",
                task == 0 ? "make" : "verify", runs[task][1].seconds / runs[task][0].seconds,
                static_cast<double>(runs[task][1].peak_kib - runs[task][0].peak_kib) / 1024);
  }
  fs::remove_all(scratch);
  return 0;
}
