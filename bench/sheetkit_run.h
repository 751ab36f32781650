// What the benchmarks of sheetkit's suite commands share: their command
// line, their scratch folder, sheetkit run as its own process, the
// reference case's suite and the line a measurement is reported on.
#ifndef SHEETGEN_BENCH_SHEETKIT_RUN_H_
#define SHEETGEN_BENCH_SHEETKIT_RUN_H_

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "process.h"

namespace bench {

/// `sheetkit ARGS...` with its output discarded; stops the benchmark when it fails.
inline measured sheetkit(std::vector<std::string> args) {
  args.insert(args.begin(), SHEETKIT_BINARY);
  return run_process(std::move(args));
}

/// A benchmark's command line, `NAME [--smoke | DIR]`, as it was given.
struct bench_setup {
  bool smoke;                     ///< everything once on tiny inputs (CI)
  std::filesystem::path scratch;  ///< a new, empty folder of this process's own in DIR
};

/// Reads the command line of the benchmark `name` and makes its scratch
/// folder (in the temporary folder without DIR); nothing, with the usage
/// said, where the command line is not one.
inline std::optional<bench_setup> start(const char* name, int argc, char** argv) {
  const std::string arg = argc > 1 ? argv[1] : "";
  if (argc > 2 || (arg.rfind("-", 0) == 0 && arg != "--smoke")) {
    std::fprintf(stderr, "usage: %s [--smoke | DIR]\n", name);
    return std::nullopt;
  }
  const bool smoke = arg == "--smoke";
  namespace fs = std::filesystem;
  const fs::path where = arg.empty() || smoke ? fs::temp_directory_path() : fs::path(arg);
  const fs::path scratch = where / (std::string(name) + "_" + std::to_string(getpid()));
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  return bench_setup{smoke, scratch};
}

/// The suite file of 8 sets of the reference case (200 x 20000 items on
/// 20000 x 20000, bounds 0.001 and 0.1, seeds 1 to 8); 5 x 2000 items for
/// a smoke run.
inline std::string reference_suite(bool smoke) {
  return std::string(R"({"suite": "reference", "seeds": {"first": 1, "count": 8},
 "classes": [{"name": "reference", "length": 20000, "width": 20000, "instances": )") +
         (smoke ? "5" : "200") + R"(, "item_types": )" + (smoke ? "2000" : "20000") +
         R"(, "lower": "0.001", "upper": "0.1"}]}
)";
}

/// Prints what `m` took, after `what` padded to `width` characters.
inline void report(const std::string& what, const measured& m, int width) {
  std::printf("%-*s %7.2f s (CPU %6.2f s), peak %6.1f MiB\n", width, what.c_str(), m.seconds,
              m.cpu_seconds, static_cast<double>(m.peak_kib) / 1024);
}

}  // namespace bench

#endif  // SHEETGEN_BENCH_SHEETKIT_RUN_H_
