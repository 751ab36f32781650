// Measures sheetkit suite results with one job and with two, the best of
// three runs each as its own process (its peak resident memory its own),
// on two suites whose export holds a feasible certificate per instance
// (items packed in shelves, clear of the defects, written here):
//   10000 small sets (the worked example's class, seeds 1 to 10000 that complete);
//   8 sets of the reference case (200 x 20000 items on 20000 x 20000).
// Run from the build folder:
//   bench/results_bench [DIR]     the measurements, in a scratch folder in DIR
//                                 (default: the temporary folder); about 3 GB
//   bench/results_bench --smoke   everything once on tiny suites (CI)

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sheetkit_run.h"

namespace {

namespace fs = std::filesystem;

using bench::measured;
using bench::sheetkit;

// One block of a file: its lines' numbers, rounded to integers.
using block = std::vector<std::vector<int64_t>>;

// The file's blocks, separated by empty lines.
std::vector<block> blocks(const fs::path& file) {
  std::vector<block> out(1);
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      out.emplace_back();
      continue;
    }
    std::istringstream fields(line);
    std::vector<int64_t> values;
    for (double v; fields >> v;) values.push_back(static_cast<int64_t>(v + 0.5));
    out.back().push_back(values);
  }
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

// A feasible certificate of PackingSolver's rectangle form: the item types
// in order on shelves along x, each skipped where it would leave the
// object or meet a defect.
std::string shelf_certificate(int64_t length, int64_t width, const block& items,
                              const block& defects) {
  std::string out = "TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID\nBIN,0,1,0,0,0," +
                    std::to_string(length) + "," + std::to_string(width) + ",\n";
  for (std::size_t k = 0; k < defects.size(); ++k) {
    const auto& d = defects[k];
    out += "DEFECT," + std::to_string(k) + ",1,0," + std::to_string(d[0]) + "," +
           std::to_string(d[1]) + "," + std::to_string(d[2] - d[0]) + "," +
           std::to_string(d[3] - d[1]) + ",\n";
  }
  int64_t x = 0, y = 0, shelf = 0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    const int64_t l = items[k][0], w = items[k][1];
    if (l > length || w > width) continue;
    if (x + l > length) {
      x = 0;
      y += shelf;
      shelf = 0;
    }
    if (y + w > width) continue;
    const bool clear = std::none_of(defects.begin(), defects.end(), [&](const auto& d) {
      return x < d[2] && d[0] < x + l && y < d[3] && d[1] < y + w;
    });
    if (!clear) continue;
    out += "ITEM," + std::to_string(k) + ",1,0," + std::to_string(x) + "," + std::to_string(y) +
           "," + std::to_string(l) + "," + std::to_string(w) + ",0\n";
    x += l;
    shelf = std::max(shelf, w);
  }
  return out;
}

// Writes a certificate beside every instance of the export `out` of `suite`.
void solve(const fs::path& suite, const fs::path& out, int64_t length, int64_t width) {
  for (const auto& cls : fs::directory_iterator(out)) {
    if (!cls.is_directory()) continue;
    for (const auto& set : fs::directory_iterator(cls.path())) {
      const fs::path from = suite / cls.path().filename() / set.path().filename();
      const std::vector<block> items = blocks(from / "instances.txt");
      const std::vector<block> defects =
          fs::exists(from / "defects.txt") ? blocks(from / "defects.txt") : std::vector<block>{};
      for (std::size_t i = 0; i < items.size(); ++i) {
        std::ofstream(set.path() / ("instance_" + std::to_string(i + 1)) / "shelf.csv")
            << shelf_certificate(length, width, items[i],
                                 i < defects.size() ? defects[i] : block{});
      }
    }
  }
}

void measure(const fs::path& scratch, const std::string& name, const std::string& suite_file,
             int64_t length, int64_t width, int repeats) {
  const fs::path file = scratch / (name + ".json");
  std::ofstream(file) << suite_file;
  const fs::path suite = scratch / name, out = scratch / (name + "-out");
  sheetkit({"suite", "make", file.string(), "-o", suite.string(), "-j", "2"});
  sheetkit(
      {"suite", "export", suite.string(), "--to", "packingsolver", "-o", out.string(), "-j", "2"});
  // In a process of its own: what it reads would otherwise count in the
  // peak memory of every run forked after it.
  std::fflush(stdout);
  const pid_t solver = fork();
  if (solver == 0) {
    solve(suite, out, length, width);
    _exit(0);
  }
  int status = 0;
  waitpid(solver, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "writing the certificates failed\n");
    std::exit(1);
  }
  for (const char* jobs : {"1", "2"}) {
    measured best{};
    for (int r = 0; r < repeats; ++r) {
      const measured m = sheetkit({"suite", "results", suite.string(), out.string(), "-j", jobs,
                                   "-o", (scratch / "table.txt").string()});
      if (r == 0 || m.seconds < best.seconds) best = m;
    }
    bench::report(name + ": results -j " + jobs, best, 34);
  }
  fs::remove_all(suite);
  fs::remove_all(out);
}

}  // namespace

int main(int argc, char** argv) {
  const auto setup = bench::start("results_bench", argc, argv);
  if (!setup) return 2;
  const bool smoke = setup->smoke;
  const fs::path& scratch = setup->scratch;
  const int repeats = smoke ? 1 : 3;
  measure(scratch, "small",
          R"({"suite": "small", "complete": true, "seeds": {"first": 1, "count": )" +
              std::string(smoke ? "20" : "10000") +
              R"(}, "classes": [{"name": "worked", "length": 10, "width": 10, "instances": 2,
 "item_types": 4, "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]]}]})",
          10, 10, repeats);
  measure(scratch, "reference", bench::reference_suite(smoke), 20000, 20000, repeats);
  fs::remove_all(scratch);
  return 0;
}
