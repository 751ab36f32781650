// sheetkit stats as a user runs it: answers that ask for fewer instances
// than the files hold, runs piped in, and memory over millions of lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bytes_of.h"
#include "cli/cli.h"
#include "run_sheetkit.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using sheetgen::testing::line;

const std::string worked_example = SHEETGEN_SOURCE_DIR "/examples/worked_example.txt";

using result = testing::cli_result;
using testing::sheetkit;

// A scratch folder that is the current folder during the test.
class StatsCommand : public ::testing::Test {
 protected:
  void SetUp() override { fs::current_path(folder_.path()); }
  void TearDown() override { fs::current_path(home_); }

  // Files of a run made by sheetgen from `answers`.
  void generate(const std::string& answers) {
    ASSERT_EQ(sheetgen::testing::run_with(answers, folder_.path()).status, 0);
  }

  sheetgen::testing::scratch_folder folder_;

 private:
  fs::path home_ = fs::current_path();
};

// More blocks than the answers' instances: the figures of those asked for,
// then what follows on standard error, status 1; the blocks after the next
// one are not read (the fourth here could not be).
TEST_F(StatsCommand, StopsAtTheAnswersInstances) {
  generate(testing::bytes_of(worked_example));
  const result exact = sheetkit({"stats", "--answers", worked_example.c_str()});
  ASSERT_EQ(exact.status, 0);

  const std::string items = folder_.read("instances.txt");
  const std::string defects = folder_.read("defects.txt");
  folder_.write("instances.txt", items + line({1, 1, 1}) + "\n" + "x\n\n");
  folder_.write("defects.txt", defects + line({0, 0, 1, 1}) + "\n");
  const result more = sheetkit({"stats", "--answers", worked_example.c_str(), "--per-instance"});
  EXPECT_EQ(more.status, 1);
  EXPECT_EQ(more.out.substr(more.out.find("\nobject")), "\n" + exact.out);
  EXPECT_EQ(more.out.find("\n       3 "), std::string::npos);
  EXPECT_EQ(more.err,
            "sheetkit: stats: the figures are of the 2 instances the answers ask for, and the "
            "files go on after them: instances.txt has a block 3, from its line 11\n");

  // Only the defect file goes on: the reader's message.
  folder_.write("instances.txt", items);
  const result longer = sheetkit({"stats", "--answers", worked_example.c_str(), "--json"});
  EXPECT_EQ(longer.status, 1);
  EXPECT_EQ(longer.err,
            "sheetkit: stats: the figures are of the 2 instances the answers ask for, and the "
            "files go on after them: instances.txt:11: file ends after 2 blocks, but "
            "defects.txt has more (block 3 starts on its line 7)\n");
  EXPECT_EQ(longer.out.back(), '\n');
}

// What bash's <(zcat run.gz) gives: a pipe under /dev/fd, which a second
// open finds at its end. A run too large to be read once from it (more than
// 262144 item types, as the medians read them) is read into memory first.
TEST_F(StatsCommand, ReadsAPipeOnce) {
  generate(sheetgen::testing::make(15, 10000, 10000, 20000, "0.001", "0.1", 3).text());
  const std::string items = folder_.read("instances.txt");
  ASSERT_GT(items.size(), 10u << 20);
  const result from_file = sheetkit({"stats", "--object", "10000x10000", "instances.txt"});
  ASSERT_EQ(from_file.status, 0);

  const auto piped = [&](std::vector<const char*> args) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    std::thread writer([&] {
      for (std::size_t at = 0; at < items.size();) {
        const ssize_t n = write(ends[1], items.data() + at, items.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      close(ends[1]);
    });
    const std::string name = "/dev/fd/" + std::to_string(ends[0]);
    for (const char*& a : args) {
      if (std::string(a) == "PIPE") a = name.c_str();
    }
    const result r = sheetkit(args);
    writer.join();
    close(ends[0]);
    return r;
  };
  const result stats = piped({"stats", "--object", "10000x10000", "PIPE"});
  EXPECT_EQ(stats.err, "");
  EXPECT_EQ(stats.out, from_file.out);
  EXPECT_EQ(stats.status, 0);

  // draw reads three times without answers: the number of instances, then
  // its two passes.
  const result draw = piped({"draw", "--object", "10000x10000", "PIPE", "-o", "pictures"});
  EXPECT_EQ(draw.err, "");
  EXPECT_EQ(draw.status, 0);
  EXPECT_TRUE(fs::is_regular_file("pictures/instance_4.svg"));
}

// Peak resident memory of `sheetkit ARGS` in the current folder, its
// output discarded; 0 when it failed. It includes what the child had before
// it started sheetkit: this process, as fork copied it.
long peak_kib(const std::vector<const char*>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    std::vector<char*> argv{const_cast<char*>("sheetkit")};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    execv(SHEETKIT_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : 0;
}

// Every instance's line as it comes: the lines take no more memory than
// the figures alone (a million empty blocks took 1.8 GB with --json,
// one-item blocks of a 112 MB file more than 6 GB; these would take 540
// and 300 MB).
TEST_F(StatsCommand, LinesForEveryInstanceInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers keep freed memory back";
#endif
  folder_.write("empty.txt", std::string(300000, '\n'));
  {
    std::ofstream one_item("one_item.txt", std::ios::binary);
    for (int k = 0; k < 100000; ++k) one_item << line({1 + k % 7, 3, 3 + 3 * (k % 7)}) << '\n';
  }
  for (const char* file : {"empty.txt", "one_item.txt"}) {
    const long figures = peak_kib({"stats", "--object", "10x10", file});
    ASSERT_GT(figures, 0) << file;
    for (const bool json : {false, true}) {
      std::vector<const char*> args{"stats", "--object", "10x10", file, "--per-instance"};
      if (json) args.push_back("--json");
      const long kib = peak_kib(args);
      EXPECT_GT(kib, 0) << file;
      EXPECT_LT(kib, figures + 8 * 1024) << file << (json ? " --json" : "");
    }
  }
}

}  // namespace
}  // namespace sheetkit
