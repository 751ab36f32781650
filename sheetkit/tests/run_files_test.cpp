#include "files/run_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "files/source.h"
#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::line;
using sheetgen::testing::message_of;

// What a pass visits, one "number:items:defects" word per instance.
std::vector<std::string> visited(const instance_pass& pass) {
  std::vector<std::string> seen;
  pass([&](const instance& in) {
    seen.push_back(std::to_string(in.number) + ":" + std::to_string(in.items.size()) + ":" +
                   std::to_string(in.defects.size()));
  });
  return seen;
}

// A pipe under /dev/fd, as bash's <(zcat run.gz) gives one, fed `bytes` by
// a thread of its own.
class piped {
 public:
  explicit piped(std::string bytes) : bytes_(std::move(bytes)) {
    EXPECT_EQ(pipe(ends_), 0);
    writer_ = std::thread([this] {
      for (std::size_t at = 0; at < bytes_.size();) {
        const ssize_t n = write(ends_[1], bytes_.data() + at, bytes_.size() - at);
        if (n <= 0) break;  // the reader stopped
        at += static_cast<std::size_t>(n);
      }
      close(ends_[1]);
    });
  }
  ~piped() {
    close(ends_[0]);  // a writer still writing gets its error
    writer_.join();
  }
  std::string name() const { return "/dev/fd/" + std::to_string(ends_[0]); }

 private:
  std::string bytes_;
  int ends_[2] = {-1, -1};
  std::thread writer_;
};

// A pipe is read once and held; every pass reads that copy. A larger one
// is refused before anything is visited.
TEST(RunFiles, PipesAreHeld) {
  const std::string items = line({3, 5, 15}) + "\n" + "\n" + line({2, 8, 16}) + "\n";
  const std::string defects = line({7, 0, 10, 2}) + "\n" + "\n" + "\n";
  {
    const piped item_pipe(items);
    const piped defect_pipe(defects);
    run_files files(run_from_object(rectangle::of(10, 10), item_pipe.name(), defect_pipe.name()));
    const std::vector<std::string> all{"1:1:1", "2:0:0", "3:1:0"};
    EXPECT_EQ(visited(files.pass()), all);
    EXPECT_EQ(visited(files.pass()), all);
    EXPECT_EQ(visited(files.pass(false)), (std::vector<std::string>{"1:1:0", "2:0:0", "3:1:0"}));
  }
  const piped large(items);
  run_files files(run_from_object(rectangle::of(10, 10), large.name(), ""), -1,
                  {.pipe = items.size() - 1});
  int visits = 0;
  EXPECT_EQ(message_of([&] { files.pass()([&](const instance&) { ++visits; }); }),
            large.name() + " is a pipe of more than " + std::to_string(items.size() - 1) +
                " bytes, the most that is kept in memory to "
                "read a pipe twice: save it to a file first");
  EXPECT_EQ(visits, 0);
}

// With the answers' number of instances, passes stop there; the first one
// tells what follows, reading one more block at most.
TEST(RunFiles, PassesStopAtTheRunsInstances) {
  sheetgen::testing::scratch_folder folder;
  const std::string blocks = line({3, 5, 15}) + "\n" + "\n" + line({2, 8, 16}) + "\n";
  const auto beyond = [&](const std::string& items, const std::string& defects) {
    folder.write("i.txt", items);
    folder.write("d.txt", defects);
    run_files files(run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(),
                                    defects.empty() ? "" : (folder / "d.txt").string()),
                    2);
    EXPECT_EQ(visited(files.pass()).size(), 2u);
    EXPECT_EQ(visited(files.pass(false)).size(), 2u);
    const std::string what = files.beyond();
    return what.empty() ? what : what.substr(what.find("i.txt"));
  };
  EXPECT_EQ(beyond(blocks.substr(0, blocks.rfind(line({2, 8, 16}))), ""), "");
  EXPECT_EQ(beyond(blocks, ""), "i.txt has a block 3, from its line 4");
  // The block after the next one is not read.
  EXPECT_EQ(beyond(blocks + "x\n", ""), "i.txt has a block 3, from its line 4");
  EXPECT_EQ(beyond(blocks.substr(0, blocks.size() - 1), ""),
            "i.txt:5: file ends inside the block that starts on line 4: its empty line is missing "
            "(cut short?)");
  EXPECT_EQ(beyond(blocks.substr(0, blocks.rfind(line({2, 8, 16}))), "\n\n\n"),
            "i.txt:4: file ends after 2 blocks, but " + (folder / "d.txt").string() +
                " has more (block 3 starts on its line 3)");
}

// Parts of a large file start where blocks start and hold every instance
// once between them: LF and CR LF lines, empty blocks, and a last block
// that ends the file.
TEST(RunFiles, PartsHoldEveryInstanceOnce) {
  sheetgen::testing::scratch_folder folder;
  std::string items;
  std::vector<std::string> all;
  for (int k = 0; k < 3000; ++k) {
    const int n = k % 5 == 0 ? 0 : k % 7;
    for (int i = 0; i < n; ++i) {
      items += line({i + 1, 2, 2 * (i + 1)});
      if (k % 3 == 0) {
        items.pop_back();
        items += "\r\n";
      }
    }
    items += k % 2 ? "\r\n" : "\n";
    all.push_back(std::to_string(n));
  }
  folder.write("i.txt", items);
  std::sort(all.begin(), all.end());
  const run_info run = run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(), "");
  const auto sizes_in = [](const std::vector<instance_pass>& parts) {
    std::vector<std::string> sizes;
    for (const instance_pass& part : parts) {
      part([&](const instance& in) { sizes.push_back(std::to_string(in.items.size())); });
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
  };
  run_files files(run, -1, {.part = items.size() / 4});
  // Later passes only once a pass found the file's end.
  EXPECT_EQ(files.item_parts(4).size(), 1u);
  const std::vector<instance_pass> first = files.first_parts(4);
  EXPECT_EQ(first.size(), 4u);
  EXPECT_EQ(sizes_in(first), all);
  const std::vector<instance_pass> later = files.item_parts(3);
  EXPECT_EQ(later.size(), 3u);
  EXPECT_EQ(sizes_in(later), all);

  // Never in parts: with a defect file, or too small a file.
  folder.write("d.txt", std::string(3000, '\n'));
  run_files with_defects(run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(),
                                         (folder / "d.txt").string()),
                         -1, {.part = items.size() / 4});
  EXPECT_EQ(with_defects.first_parts(4).size(), 1u);
  run_files small(run, -1, {.part = items.size()});
  EXPECT_EQ(small.first_parts(4).size(), 1u);

  // A later part that finds anything wrong found a file that changed.
  run_files changing(run, -1, {.part = items.size() / 4});
  visited(changing.pass());
  const std::vector<instance_pass> parts = changing.item_parts(2);
  folder.write("i.txt", std::string(items.size(), 'x'));
  EXPECT_EQ(message_of([&] { parts[1]([](const instance&) {}); }),
            "The files changed while they were being read!");
}

}  // namespace
}  // namespace sheetkit
