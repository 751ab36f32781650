// A program run as its own process, so that its peak resident memory and
// its CPU time are its own: what the benchmarks measure of sheetgen and
// sheetkit as people run them.
#ifndef SHEETGEN_BENCH_PROCESS_H_
#define SHEETGEN_BENCH_PROCESS_H_

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

/// What a run of a process took.
struct measured {
  double seconds;      ///< wall clock
  double cpu_seconds;  ///< user and system: what a busy machine changes least
  long peak_kib;       ///< peak resident memory
};

/// Runs `args` (args[0] the program's path) in `folder` (empty: here), its
/// standard input from `input` (empty: this one's) and its output to
/// /dev/null. A run that fails stops the benchmark with a message.
inline measured run_process(std::vector<std::string> args, const std::string& folder = "",
                            const std::string& input = "") {
  std::fflush(stdout);  // or the child writes what is buffered once more
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open("/dev/null", O_WRONLY);
    if (out < 0 || dup2(out, 1) < 0) _exit(126);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    if (!input.empty()) {
      const int in = open(input.c_str(), O_RDONLY);
      if (in < 0 || dup2(in, 0) < 0) _exit(126);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string command;
    for (const std::string& a : args) command += (command.empty() ? "" : " ") + a;
    std::fprintf(stderr, "%s failed (status %d)\n", command.c_str(),
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::exit(1);
  }
  const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {elapsed, cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace bench

#endif  // SHEETGEN_BENCH_PROCESS_H_
