// The instance file through instance_output: the bytes put_item_block
// gives, whatever batches the blocks fall into, on a close, an abort or a
// write that fails.
#include "instance_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::scratch_folder;

// Blocks of these sizes around batches of `capacity` items, with numbers
// of every width and sign; returns what the file must hold.
std::string add_blocks(instance_output& out, std::size_t capacity, int blocks) {
  const int32_t numbers[] = {0,
                             1,
                             9999,
                             10000,
                             99999999,
                             100000000,
                             std::numeric_limits<int32_t>::max(),
                             -1,
                             std::numeric_limits<int32_t>::min()};
  const std::size_t sizes[] = {0, 1, capacity - 1, capacity, capacity + 1, 0, 2 * capacity + 1, 3};
  std::string expected;
  int n = 0;
  for (int b = 0; b < blocks; ++b) {
    std::vector<rectangle> items(sizes[b % std::size(sizes)]);
    for (rectangle& r : items) {
      r = {numbers[n % 9], numbers[(n + 4) % 9], n};
      ++n;
    }
    out.add_block(items);
    append_item_block(items, expected);
  }
  return expected;
}

std::vector<char> buffer_for(std::size_t capacity) {
  const std::size_t half = (capacity * instance_output::bytes_per_item + 4) / 4 * 4;
  return std::vector<char>(2 * half);
}

TEST(InstanceOutput, BatchesCutBlocksAnywhere) {
  for (const std::size_t capacity : {1, 2, 3, 7, 64}) {
    std::vector<char> buffer = buffer_for(capacity);
    ASSERT_EQ(instance_output::batch_capacity(buffer.size()), capacity);
    for (const bool close : {true, false}) {  // false: the run aborts
      for (const int blocks : {0, 1, 5, 8, 30}) {
        scratch_folder dir;
        std::string expected;
        {
          instance_output out(dir.path(), "out.txt", buffer);
          expected = add_blocks(out, capacity, blocks);
          if (close) out.close();
        }
        EXPECT_EQ(dir.read("out.txt"), expected) << capacity << ' ' << blocks << ' ' << close;
      }
    }
  }
}

// A write that fails part way (files limited to `limit` bytes, SIGXFSZ
// ignored) leaves the file's true beginning and throws at the next hand-over
// or the close, in a child process so that the limit stays there.
TEST(InstanceOutputDeathTest, WriteFailingAtAnyByte) {
  constexpr std::size_t capacity = 5;
  std::vector<char> buffer = buffer_for(capacity);
  std::string all;
  {
    scratch_folder dir;
    instance_output out(dir.path(), "out.txt", buffer);
    all = add_blocks(out, capacity, 16);
  }
  for (std::size_t limit = 0; limit < all.size(); limit += 97) {
    scratch_folder dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit r{};
      ::getrlimit(RLIMIT_FSIZE, &r);
      r.rlim_cur = limit;
      ::setrlimit(RLIMIT_FSIZE, &r);
      try {
        instance_output out(dir.path(), "out.txt", buffer);
        add_blocks(out, capacity, 16);
        out.close();
      } catch (const error& e) {
        std::_Exit(std::string(e.what()) == "Cannot write file out.txt!" ? 3 : 4);
      }
      std::_Exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << limit;
    EXPECT_EQ(dir.read("out.txt"), all.substr(0, limit)) << limit;
  }
}

}  // namespace
}  // namespace sheetgen
