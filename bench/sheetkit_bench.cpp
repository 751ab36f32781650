// Measures sheetkit on large runs, each command as its own process so that
// its peak resident memory is its own:
//   check, verify and stats on the reference case (200 x 20000 items), in
//   item lines per second;
//   stats on 20000 instances of 1000 defects, and with a line for each of
//   a million empty instances, in seconds.
// Run from the build folder:
//   bench/sheetkit_bench           the measurements (needs about 1.2 GB of disk)
//   bench/sheetkit_bench --smoke   everything once on tiny runs (CI)
//   bench/sheetkit_bench --full    also check, stats and verify once each on
//                                  the largest run, 20000 x 20000 items (16 GB
//                                  of disk): memory must not grow with it
//   bench/sheetkit_bench --large N also check and stats on N x 20000 items,
//                                  read once first so that the page cache
//                                  holds them, then best of two each in turn:
//                                  the largest run whose file the page cache
//                                  can hold
//   bench/sheetkit_bench --against OTHER_SHEETKIT
//                                  check and verify by this sheetkit and by
//                                  another (an earlier build), in turn, and
//                                  the ratio: on a busy machine only figures
//                                  taken side by side compare
#include <sheetgen/run.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "process.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

using bench::measured;

// Writes the run's files into `folder` and its answers as `answers_name`.
void generate(const sheetgen::testing::answers& a, const fs::path& folder,
              const std::string& answers_name) {
  std::ofstream(folder / answers_name) << a.text();
  std::istringstream in(a.text());
  std::ostringstream console;
  if (sheetgen::run(in, console, folder) != 0) {
    std::fprintf(stderr, "generating the run failed: %s\n", console.str().c_str());
    std::exit(1);
  }
}

// `PROGRAM COMMAND --answers ANSWERS [extra]` in `folder`, its output
// discarded; `answers` may be --object and the rest follow in `extra`.
measured sheetkit(const fs::path& folder, const char* command, const std::string& answers,
                  const char* extra = nullptr, const char* more = nullptr,
                  const char* program = SHEETKIT_BINARY) {
  std::vector<std::string> args{program, command};
  if (answers == "--object") {
    args.insert(args.end(), {"--object", extra, more, "--per-instance", "--json"});
  } else {
    args.insert(args.end(), {"--answers", answers});
    if (extra != nullptr) args.push_back(extra);
  }
  return bench::run_process(std::move(args), folder.string());
}

// The shortest times and the largest peak.
void keep_best(measured& best, const measured& m) {
  best.seconds = std::min(best.seconds, m.seconds);
  best.cpu_seconds = std::min(best.cpu_seconds, m.cpu_seconds);
  best.peak_kib = std::max(best.peak_kib, m.peak_kib);
}

measured best_of(int times, const std::function<measured()>& work) {
  measured best{1e300, 1e300, 0};
  for (int i = 0; i < times; ++i) keep_best(best, work());
  return best;
}

void report_rate(const char* what, long long lines, const measured& m) {
  std::printf("%-34s %7.1f M lines/s (%.3f s; CPU %.3f s = %.1f M lines/s), peak %.1f MiB\n", what,
              static_cast<double>(lines) / m.seconds / 1e6, m.seconds, m.cpu_seconds,
              static_cast<double>(lines) / m.cpu_seconds / 1e6,
              static_cast<double>(m.peak_kib) / 1024);
}

// Best of `times` for this sheetkit and `other` in turn, so that both see
// the same moments of a busy machine.
void side_by_side(const char* what, long long lines, int times,
                  const std::function<measured(const char*)>& run, const char* other) {
  measured mine{1e300, 1e300, 0};
  measured theirs{1e300, 1e300, 0};
  for (int i = 0; i < times; ++i) {
    keep_best(theirs, run(other));
    keep_best(mine, run(SHEETKIT_BINARY));
  }
  report_rate((std::string(what) + ", the other").c_str(), lines, theirs);
  report_rate((std::string(what) + ", this one").c_str(), lines, mine);
  std::printf("%-34s %7.2f x faster (CPU %.2f x)\n", what, theirs.seconds / mine.seconds,
              theirs.cpu_seconds / mine.cpu_seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int large = mode == "--large" && argc == 3 ? std::atoi(argv[2]) : 0;
  const bool against = mode == "--against" && argc == 3;
  if ((argc > 2 && large <= 0 && !against) ||
      (mode != "" && mode != "--smoke" && mode != "--full" && !large && !against)) {
    std::fprintf(stderr,
                 "usage: sheetkit_bench [--smoke | --full | --large INSTANCES | --against "
                 "OTHER_SHEETKIT]\n");
    return 2;
  }
  const bool smoke = mode == "--smoke";
  const int repeats = smoke ? 1 : 3;
  const fs::path scratch =
      fs::temp_directory_path() / ("sheetkit_bench_" + std::to_string(getpid()));
  fs::remove_all(scratch);
  fs::create_directories(scratch);

  // The reference case: a 20000 x 20000 object, bounds 0.001 and 0.1, seed 1.
  const int instances = smoke ? 5 : 200;
  const int items = smoke ? 2000 : 20000;
  const long long lines = static_cast<long long>(instances) * items;
  generate(sheetgen::testing::make(instances, 20000, 20000, items, "0.001", "0.1", 1), scratch,
           "reference.answers");
  std::printf("reference case: %d instances x %d items (%.0f MB)\n", instances, items,
              static_cast<double>(fs::file_size(scratch / "instances.txt")) / 1e6);
  if (against) {
    for (const char* command : {"check", "verify"}) {
      side_by_side(
          command, lines, 9,
          [&](const char* program) {
            return sheetkit(scratch, command, "reference.answers", nullptr, nullptr, program);
          },
          argv[2]);
    }
    fs::remove_all(scratch);
    return 0;
  }
  report_rate("check", lines,
              best_of(repeats, [&] { return sheetkit(scratch, "check", "reference.answers"); }));
  report_rate("verify", lines,
              best_of(repeats, [&] { return sheetkit(scratch, "verify", "reference.answers"); }));
  report_rate("stats", lines,
              best_of(repeats, [&] { return sheetkit(scratch, "stats", "reference.answers"); }));
  fs::remove(scratch / "instances.txt");

  // Many defects: 1 item and 1000 defects of 50 x 50 in each instance.
  const int defect_instances = smoke ? 20 : 20000;
  const std::vector<std::pair<int, int>> defects(1000, {50, 50});
  generate(sheetgen::testing::make(defect_instances, 20000, 20000, 1, "0.001", "0.1", 1, defects),
           scratch, "defects.answers");
  const measured stats =
      best_of(repeats, [&] { return sheetkit(scratch, "stats", "defects.answers"); });
  std::printf("stats, %d instances x 1000 defects (%.0f MB): %.2f s (CPU %.2f s), peak %.1f MiB\n",
              defect_instances, static_cast<double>(fs::file_size(scratch / "defects.txt")) / 1e6,
              stats.seconds, stats.cpu_seconds, static_cast<double>(stats.peak_kib) / 1024);

  fs::remove(scratch / "defects.txt");

  // A line for each instance, as JSON: memory must not grow with their number.
  const int empty = smoke ? 1000 : 1000000;
  std::ofstream(scratch / "empty.txt") << std::string(static_cast<std::size_t>(empty), '\n');
  const measured lines_json = best_of(
      repeats, [&] { return sheetkit(scratch, "stats", "--object", "10x10", "empty.txt"); });
  std::printf(
      "stats --per-instance --json, %d empty instances: %.2f s (CPU %.2f s), peak %.1f MiB\n",
      empty, lines_json.seconds, lines_json.cpu_seconds,
      static_cast<double>(lines_json.peak_kib) / 1024);
  fs::remove(scratch / "empty.txt");

  if (large > 0) {
    generate(sheetgen::testing::make(large, 20000, 20000, 20000, "0.001", "0.1", 1), scratch,
             "large.answers");
    const long long large_lines = 20000LL * large;
    std::printf("large run: %d instances x 20000 items (%.0f MB)\n", large,
                static_cast<double>(fs::file_size(scratch / "instances.txt")) / 1e6);
    sheetkit(scratch, "check", "large.answers");
    measured check{1e300, 1e300, 0};
    measured stats_large{1e300, 1e300, 0};
    for (int i = 0; i < 2; ++i) {
      keep_best(check, sheetkit(scratch, "check", "large.answers"));
      keep_best(stats_large, sheetkit(scratch, "stats", "large.answers"));
    }
    report_rate("check", large_lines, check);
    report_rate("stats", large_lines, stats_large);
    fs::remove(scratch / "instances.txt");
  }

  if (mode == "--full") {
    generate(sheetgen::testing::make(20000, 20000, 20000, 20000, "0.001", "0.1", 1), scratch,
             "full.answers");
    const long long full_lines = 20000LL * 20000;
    std::printf("largest run: 20000 instances x 20000 items (%.0f MB)\n",
                static_cast<double>(fs::file_size(scratch / "instances.txt")) / 1e6);
    report_rate("check", full_lines, sheetkit(scratch, "check", "full.answers"));
    report_rate("verify", full_lines, sheetkit(scratch, "verify", "full.answers"));
    report_rate("stats", full_lines, sheetkit(scratch, "stats", "full.answers"));
  }

  fs::remove_all(scratch);
  return 0;
}
