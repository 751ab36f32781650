// Output files that cannot be created or written to the end.
#include "output_file.h"

#include <gtest/gtest.h>
#include <sheetgen/run.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "reference_items.h"
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

// Writes through output_file itself: chunk k is `chunk` bytes of the
// letter 'a' + k % 26, each reserved with room to spare as blocks are, so
// that a piece written twice, lost or out of place shows in the file.
constexpr std::size_t chunk = 300;
constexpr std::size_t spare = 7;
constexpr int chunks = 40;
constexpr std::size_t small_buffer = 4096;  // six chunks a half, thirteen a whole

std::string chunk_bytes(int count) {
  std::string s;
  for (int k = 0; k < count; ++k) s.append(chunk, static_cast<char>('a' + k % 26));
  return s;
}

struct outcome {
  int committed = 0;    // chunks committed before the first error
  std::string message;  // the error's, or "" when close() succeeded
};

outcome write_chunks(const scratch_folder& dir, int count) {
  std::vector<char> buffer(small_buffer);
  outcome o;
  try {
    output_file out(dir.path(), "out.txt", buffer);
    for (; o.committed < count; ++o.committed) {
      char* p = out.reserve(chunk + spare);
      std::memset(p, 'a' + o.committed % 26, chunk + spare);
      out.commit(p + chunk);
    }
    out.close();
  } catch (const error& e) {
    o.message = e.what();
  }
  return o;
}

// Runs `work` in a child process whose files may not grow beyond `limit`
// bytes: a write past it fails (SIGXFSZ ignored) after writing up to it.
outcome in_child(rlim_t limit, const scratch_folder& dir, const std::function<outcome()>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    const rlim_t unlimited = r.rlim_cur;
    r.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &r);
    const outcome o = work();
    r.rlim_cur = unlimited;  // for the report
    ::setrlimit(RLIMIT_FSIZE, &r);
    std::ofstream(dir / "report") << o.committed << '\n' << o.message;
    std::_Exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream report(dir / "report");
  outcome o;
  report >> o.committed;
  report.ignore();
  std::getline(report, o.message);
  return o;
}

// A failed write shows at the next hand-over: while the writing thread
// fails on one half, the other is filled, and its hand-over (or the close)
// throws. Whatever was written stays, nothing after it is written.
TEST(OutputFileDeathTest, WriteErrorAtEveryHalfBoundary) {
  constexpr int per_half = 6;  // 6 x 300 + 7 fits 2048 bytes, 7 x 300 + 7 does not
  constexpr std::size_t piece = per_half * chunk;
  const std::string all = chunk_bytes(chunks);
  for (std::size_t boundary = 0; boundary <= all.size() + piece; boundary += piece) {
    for (const std::size_t limit : {boundary - 1, boundary, boundary + 1}) {
      if (limit > all.size() + 1) continue;  // boundary - 1 wrapped at 0
      scratch_folder dir;
      const outcome o = in_child(limit, dir, [&] { return write_chunks(dir, chunks); });
      EXPECT_EQ(dir.read("out.txt"), all.substr(0, limit)) << limit;
      if (limit >= all.size()) {
        EXPECT_EQ(o.message, "") << limit;
        EXPECT_EQ(o.committed, chunks) << limit;
      } else {
        EXPECT_EQ(o.message, "Cannot write file out.txt!") << limit;
        const int failed_half = static_cast<int>(limit / piece);
        EXPECT_EQ(o.committed, std::min(per_half * (failed_half + 2), chunks)) << limit;
      }
    }
  }
}

// An abort (the output_file destroyed unclosed) keeps every committed
// chunk, in the half being filled too, and nothing merely reserved.
TEST(OutputFile, AbortKeepsWhatWasCommitted) {
  for (const int count : {0, 5, 6, 7, 12, 13, 20}) {
    scratch_folder dir;
    std::vector<char> buffer(small_buffer);
    {
      output_file out(dir.path(), "out.txt", buffer);
      for (int k = 0; k < count; ++k) {
        char* p = out.reserve(chunk + spare);
        std::memset(p, 'a' + k % 26, chunk + spare);
        out.commit(p + chunk);
      }
      std::memset(out.reserve(chunk), 'X', chunk);  // the block that failed
    }
    EXPECT_EQ(dir.read("out.txt"), chunk_bytes(count)) << count;
  }
}

// A reservation larger than half the buffer (a caller whose buffer is too
// small for overlap) takes the whole buffer, and nothing is overwritten.
TEST(OutputFile, ReservationsBeyondAHalf) {
  scratch_folder dir;
  std::vector<char> buffer(small_buffer);
  std::string expected;
  {
    output_file out(dir.path(), "out.txt", buffer);
    for (int k = 0; k < 12; ++k) {
      const std::size_t size = k % 3 == 0 ? 3000 : chunk;  // 3000 > 2048, a half
      char* p = out.reserve(size + spare);
      std::memset(p, 'a' + k, size + spare);
      out.commit(p + size);
      expected.append(size, static_cast<char>('a' + k));
    }
    out.close();
  }
  EXPECT_EQ(dir.read("out.txt"), expected);
}

// The repair abort after several halves have gone to the writing thread,
// with a half partly filled: the file holds exactly the finished blocks.
TEST(OutputFile, RepairAbortAfterSeveralHalves) {
  const answers a = testing::make(100, 1000, 700, 1000, "0.02", "0.022", 4, {{5, 5}});
  scratch_folder dir;
  scratch_folder reference;
  const auto result = run_with(a.text(), dir.path());
  ASSERT_FALSE(reference::run(a.parameters(), reference.path()));
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(contains(result.console, "(e.g. 12):  Determination of integer length"));
  const std::string finished = reference.read("instances.txt");
  EXPECT_GT(finished.size(), std::size_t{2} << 20);  // more than both halves
  EXPECT_EQ(dir.read("instances.txt"), finished);
  EXPECT_FALSE(dir.has("defects.txt"));
}

}  // namespace
}  // namespace sheetgen
