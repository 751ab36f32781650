// Output files that cannot be created or written to the end.
#include "output_file.h"

#include <gtest/gtest.h>
#include <sheetgen/run.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::answers;
using testing::run_with;
using testing::scratch_folder;

bool contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

answers with_defects() {
  answers a;
  a.defects = {{3, 2}, {10, 1}};
  return a;
}

// Where a file name can point so that creating or writing it fails.
std::vector<std::string> unwritable_names(const scratch_folder& dir) {
  std::vector<std::string> names = {"missing/file.txt"};
  if (std::filesystem::exists("/dev/full")) names.push_back("/dev/full");
  if (::geteuid() != 0) {  // root writes into read-only folders anyway
    std::filesystem::create_directory(dir / "readonly");
    std::filesystem::permissions(
        dir / "readonly", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    names.push_back("readonly/file.txt");
  }
  return names;
}

TEST(OutputFile, FilesThatCannotBeWritten) {
  scratch_folder reference;
  ASSERT_EQ(run_with(with_defects().text(), reference.path()).status, 0);
  for (bool instance_file : {true, false}) {
    scratch_folder dir;
    for (const std::string& name : unwritable_names(dir)) {
      answers a = with_defects();
      (instance_file ? a.instancefile : a.defectfile) = name;
      const auto result = run_with(a.text(), dir.path());
      EXPECT_EQ(result.status, 1) << name;
      EXPECT_TRUE(contains(result.console, "(e.g. 12): Cannot write file " + name + "!")) << name;
      EXPECT_FALSE(contains(result.console, "Program run finished")) << name;
      if (instance_file) {
        EXPECT_FALSE(dir.has("defects.txt")) << name;  // the defect pass never starts
      } else {
        EXPECT_EQ(dir.read("instances.txt"), reference.read("instances.txt")) << name;
      }
    }
  }
}

// Runs in a child process whose files may not grow beyond `limit` bytes, so
// that a write fails after the first megabytes have gone through.
[[noreturn]] void run_with_size_limit(const answers& a, const scratch_folder& dir, rlim_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing us
  const rlimit r{limit, limit};
  ::setrlimit(RLIMIT_FSIZE, &r);
  std::istringstream in(a.text());
  std::ostringstream out;
  const int status = run(in, out, dir.path());
  std::ofstream(dir / "console.out") << out.str();
  std::_Exit(status);
}

struct big_run {
  answers a;
  std::string failing_file;
  std::string complete_file;  // written in full before the failing one, or ""
};

TEST(OutputFileDeathTest, WriteFailingAfterManyBlocks) {
  constexpr rlim_t limit = 2'500'000;  // past two full buffers
  big_run runs[2];
  runs[0].a.instances = 300;
  runs[0].a.items = 500;
  runs[0].a.length = runs[0].a.width = 1000;
  runs[0].a.minrel = "0.001";
  runs[0].a.maxrel = "0.2";
  runs[0].failing_file = "instances.txt";
  runs[1].a = runs[0].a;
  runs[1].a.items = 1;
  runs[1].a.defects.assign(300, {7, 9});
  runs[1].failing_file = "defects.txt";
  runs[1].complete_file = "instances.txt";

  for (const big_run& r : runs) {
    scratch_folder reference;
    ASSERT_EQ(run_with(r.a.text(), reference.path()).status, 0);
    const std::string full = reference.read(r.failing_file);
    ASSERT_GT(full.size(), limit);

    scratch_folder dir;
    EXPECT_EXIT(run_with_size_limit(r.a, dir, limit), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(
        contains(dir.read("console.out"), "(e.g. 12): Cannot write file " + r.failing_file + "!"));
    // Everything that went through stays, and it is the run's true beginning.
    const std::string partial = dir.read(r.failing_file);
    EXPECT_EQ(partial.size(), limit);
    EXPECT_EQ(full.compare(0, partial.size(), partial), 0);
    if (!r.complete_file.empty()) {
      EXPECT_EQ(dir.read(r.complete_file), reference.read(r.complete_file));
    }
  }
}

}  // namespace
}  // namespace sheetgen
