// Measures how fast sheetgen writes item types, against the straightforward
// way (fprintf("%f") per number) and against the disk (cat), how much
// memory a run holds, and how fast the instance file is read back. Run from
// the build folder:
//   bench/sheetgen_bench           the reference case, 4 million items
//   bench/sheetgen_bench --full    also the largest run, 400 million items
//   bench/sheetgen_bench --smoke   everything once on a tiny run (CI)
#include <fcntl.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/run.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "reference_items.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

struct run_size {
  int instances, items, length, width;
  const char* minrel;
  const char* maxrel;
  int seed;

  long long total() const { return static_cast<long long>(instances) * items; }

  // The dialogue's answers for this run, writing its items to `file`.
  sheetgen::testing::answers answers(const std::string& file) const {
    auto a = sheetgen::testing::make(instances, length, width, items, minrel, maxrel, seed);
    a.instancefile = file;
    return a;
  }
};

double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double best_of(int times, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < times; ++i) best = std::min(best, seconds(work));
  return best;
}

// sheetgen's own path, in this process.
void own_run(const run_size& r, const std::string& file, const fs::path& folder) {
  std::istringstream in(r.answers(file).text());
  std::ostringstream console;
  if (sheetgen::run(in, console, folder) != 0) {
    // The message is the end of the console text, after the last prompt.
    const std::string text = console.str();
    std::fprintf(stderr, "the run failed: ...%s\n",
                 text.substr(text.size() > 300 ? text.size() - 300 : 0).c_str());
    std::exit(1);
  }
}

// The sheetgen program as its own process, so that its peak resident
// memory is its own.
bench::measured child_run(const run_size& r, const fs::path& scratch) {
  const fs::path answers = scratch / "bench_answers.txt";
  std::ofstream(answers) << r.answers("/dev/null").text();
  const bench::measured m = bench::run_process({SHEETGEN_BINARY}, "", answers.string());
  fs::remove(answers);
  return m;
}

std::string machine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown processor";
}

// Reads an instance file back as a check does, every line parsed; returns
// the number of item lines.
long long read_back(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<sheetgen::rectangle> items;
  long long lines = 0;
  try {
    sheetgen::instance_reader reader(in, file.string());
    while (reader.next(items)) lines += static_cast<long long>(items.size());
  } catch (const sheetgen::error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(1);
  }
  return lines;
}

void report(const char* what, double secs, long long items) {
  std::printf("  %-44s %8.3f s  %8.2f M items/s\n", what, secs, items / secs / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "" && mode != "--full" && mode != "--smoke") {
    std::fprintf(stderr, "usage: sheetgen_bench [--full | --smoke]\n");
    return 2;
  }
  const bool smoke = mode == "--smoke";
  const run_size reference = smoke ? run_size{5, 2000, 20000, 20000, "0.001", "0.1", 1}
                                   : run_size{200, 20000, 20000, 20000, "0.001", "0.1", 1};
  const run_size full = smoke ? run_size{20, 2000, 20000, 20000, "0.001", "0.1", 1}
                              : run_size{20000, 20000, 20000, 20000, "0.001", "0.1", 1};
  const fs::path scratch =
      fs::temp_directory_path() / ("sheetgen_bench_" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const int repeats = smoke ? 1 : 5;

  std::printf("machine: %s, %ld cores\n", machine().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
  std::printf(
      "reference case: %d instances x %d items, object %d x %d, bounds %s and %s, seed %d\n",
      reference.instances, reference.items, reference.length, reference.width, reference.minrel,
      reference.maxrel, reference.seed);

  const double own = best_of(repeats, [&] { own_run(reference, "/dev/null", scratch); });
  const double baseline = seconds([&] {
    if (!sheetgen::reference::run(reference.answers("/dev/null").parameters(), scratch))
      std::exit(1);
  });
  report("sheetgen to /dev/null", own, reference.total());
  report("fprintf(\"%f\") per number to /dev/null", baseline, reference.total());
  std::printf("  %-44s %8.1f x  (target: at least 80)\n", "speed-up", baseline / own);

  const fs::path file = scratch / "instances.txt";
  const fs::path copy = scratch / "copy.txt";
  const std::string cat = "cat '" + file.string() + "' > '" + copy.string() + "'";
  // In turn, so that both see the same moments of a busy machine. Each
  // writes a new file, with the pages of the last run written back before
  // it starts: truncating a file whose pages are still on their way to the
  // disk, and the flush that ext4 does when such a file is closed, would
  // cost whichever comes first more than the other.
  const auto fresh = [&](const fs::path& target) {
    fs::remove(target);
    const int folder = open(scratch.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
      syncfs(folder);
      close(folder);
    }
  };
  double to_file = 1e300;
  double cat_time = 1e300;
  for (int i = 0; i < repeats; ++i) {
    fresh(file);
    to_file = std::min(to_file, seconds([&] { own_run(reference, file.string(), scratch); }));
    fresh(copy);
    cat_time = std::min(cat_time, seconds([&] {
                          if (std::system(cat.c_str()) != 0) std::exit(1);
                        }));
  }
  std::printf("  %-44s %8.3f s  (%.0f MB)\n", "sheetgen to a file", to_file,
              fs::file_size(file) / 1e6);
  std::printf("  %-44s %8.3f s\n", "cat copying that file", cat_time);
  std::printf("  %-44s %8.2f    (target: at most 1.3)\n", "sheetgen / cat", to_file / cat_time);
  long long lines_read = 0;
  const double read_time = best_of(repeats, [&] { lines_read = read_back(file); });
  if (lines_read != reference.total()) {
    std::fprintf(stderr, "read %lld item lines back, not %lld\n", lines_read, reference.total());
    return 1;
  }
  std::printf("  %-44s %8.3f s  %8.2f M lines/s (target: at least 100)\n",
              "instance_reader reading that file", read_time, lines_read / read_time / 1e6);
  fs::remove(file);
  fs::remove(copy);

  const bench::measured child = child_run(reference, scratch);
  std::printf("  %-44s %8.1f MiB (target: at most 8)\n", "peak resident memory of sheetgen",
              child.peak_kib / 1024.0);

  if (mode == "--full" || smoke) {
    std::printf("full-size run: %d instances x %d items, to /dev/null\n", full.instances,
                full.items);
    const bench::measured big = child_run(full, scratch);
    report("sheetgen (its own process)", big.seconds, full.total());
    std::printf("  %-44s %8.1f MiB (target: at most 8)\n", "peak resident memory of sheetgen",
                big.peak_kib / 1024.0);
  }
  fs::remove_all(scratch);
  return 0;
}
