#include "files/source.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "test_util.h"

namespace sheetkit {
namespace {

using sheetgen::testing::line;
using sheetgen::testing::message_of;

const std::string worked_example = SHEETGEN_SOURCE_DIR "/examples/worked_example.txt";

TEST(Source, ObjectSizes) {
  EXPECT_EQ(parse_object("10x10"), rectangle::of(10, 10));
  EXPECT_EQ(parse_object("46341x46340"), rectangle::of(46341, 46340));
  // Only what README documents: positive integers, a lower-case x.
  for (const char* bad : {"10", "x10", "10x", "0x5", "-1x5", "10x10x", "10 x 10", "ax3", "+3x3",
                          "10X10", "0010x10", "10x010", "1x-0"}) {
    EXPECT_EQ(message_of([&] { parse_object(bad); }),
              "expected LENGTHxWIDTH, two positive integers such as 20000x20000, not \"" +
                  std::string(bad) + "\"")
        << bad;
  }
  EXPECT_EQ(message_of([] { parse_object("46341x46341"); }),
            "the object 46341x46341 is too large: length x width must not exceed 2147483647");
  // Sides far beyond 32 bits are not multiplied: their product overflows 64 bits.
  for (const char* huge : {"9999999999x9999999999", "999999999999999999x999999999999999999"}) {
    EXPECT_EQ(message_of([&] { parse_object(huge); }),
              "the object " + std::string(huge) +
                  " is too large: length x width must not exceed 2147483647");
  }
  EXPECT_EQ(message_of([] { parse_object("9999999999999999999x1"); }).substr(0, 8), "expected");
}

TEST(Source, AnswersFile) {
  const run_info run = run_from_answers(worked_example);
  EXPECT_EQ(run.object, rectangle::of(10, 10));
  EXPECT_EQ(run.instance_file, "instances.txt");
  EXPECT_EQ(run.defect_file, "defects.txt");
  ASSERT_TRUE(run.answers);
  EXPECT_EQ(run.answers->minarea, 10);
  EXPECT_EQ(run.answers->maxarea, 20);
  EXPECT_EQ(run.answers->defects[1], rectangle::of(10, 1));

  sheetgen::testing::scratch_folder folder;
  // A bad answer with its line and question; a message's own line break goes.
  folder.write("bad.answers", "2\n10\nten\n");
  const std::string bad = (folder / "bad.answers").string();
  EXPECT_EQ(message_of([&] { run_from_answers(bad); }),
            bad + ":3: the object's width: Input is not a valid number!");
  folder.write("bad.answers", "2 10 10 20001\n");
  EXPECT_EQ(message_of([&] { run_from_answers(bad); }),
            bad + ":1: the number of item types: Please recompile code with larger MAXMOD value!");
  const std::string missing = (folder / "missing.answers").string();
  EXPECT_EQ(message_of([&] { run_from_answers(missing); }), "Cannot read file " + missing + "!");
  EXPECT_EQ(message_of([&] { run_from_answers(folder.path().string()); }),
            "Cannot read file " + folder.path().string() + "!");
}

// The two files read in step: blocks, their lines, and files that disagree.
TEST(Source, ReadsBothFilesInStep) {
  const std::string items =
      line({3, 5, 15}) + "\n" + "\n" + line({2, 8, 16}) + line({7, 2, 14}) + "\n";
  const std::string defects = line({7, 0, 10, 2}) + "\n" + line({1, 0, 4, 2}) + "\n" + "\n";
  std::istringstream item_in(items);
  std::istringstream defect_in(defects);
  run_reader reader(item_in, "i", &defect_in, "d");
  instance in;
  std::vector<std::pair<int64_t, int64_t>> lines;
  std::vector<std::size_t> sizes;
  while (reader.next(in)) {
    lines.emplace_back(in.item_line, in.defect_line);
    sizes.push_back(in.items.size() * 10 + in.defects.size());
    EXPECT_EQ(in.number, reader.instances());
  }
  EXPECT_EQ(lines, (std::vector<std::pair<int64_t, int64_t>>{{1, 1}, {3, 3}, {4, 5}}));
  EXPECT_EQ(sizes, (std::vector<std::size_t>{11, 1, 20}));

  const auto mismatch = [](const std::string& a, const std::string& b) {
    std::istringstream item_in(a);
    std::istringstream defect_in(b);
    run_reader reader(item_in, "i", &defect_in, "d");
    instance in;
    return message_of([&] {
      while (reader.next(in)) {
      }
    });
  };
  EXPECT_EQ(mismatch(items, line({7, 0, 10, 2}) + "\n"),
            "d:3: file ends after 1 block, but i has more (block 2 starts on its line 3)");
  EXPECT_EQ(mismatch("\n", defects),
            "i:2: file ends after 1 block, but d has more (block 2 starts on its line 3)");
  EXPECT_EQ(mismatch("", "\n"),
            "i:1: file ends after 0 blocks, but d has more (block 1 starts on its line 1)");
  // The readers' own errors come through unchanged.
  EXPECT_EQ(mismatch("\n", "1.000000\n"),
            "d:1: expected 4 numbers separated by tabs, found 1: \"1.000000\"");
}

TEST(Source, FilePassReadsAgainEachTime) {
  sheetgen::testing::scratch_folder folder;
  folder.write("i.txt", line({3, 5, 15}) + "\n" + line({2, 8, 16}) + "\n");
  const run_info run = run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(), "");
  const instance_pass pass = file_pass(run);
  for (int round = 0; round < 2; ++round) {
    std::vector<int32_t> areas;
    pass([&](const instance& in) {
      EXPECT_TRUE(in.defects.empty());
      for (const rectangle& r : in.items) areas.push_back(r.area);
    });
    EXPECT_EQ(areas, (std::vector<int32_t>{15, 16}));
  }
  const run_info missing =
      run_from_object(rectangle::of(10, 10), (folder / "i.txt").string(), "nowhere.txt");
  EXPECT_EQ(message_of([&] { file_pass(missing)([](const instance&) {}); }),
            "Cannot read file nowhere.txt!");
}

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
TEST(Source, PipesAreHeld) {
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
TEST(Source, PassesStopAtTheRunsInstances) {
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
TEST(Source, PartsHoldEveryInstanceOnce) {
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

// Reading ahead on a thread of its own: the same instances in the same
// order, an error after the instances before it, and a visitor's error
// stops the reading.
TEST(Source, ReadAheadKeepsTheOrder) {
  std::vector<instance> instances(100000);
  std::size_t before_error = 0;  // item types before the error
  for (std::size_t k = 0; k < instances.size(); ++k) {
    instances[k].number = static_cast<int64_t>(k) + 1;
    instances[k].items.assign(k % 40, rectangle::of(1, 2));
    if (k + 1 < 90000) before_error += k % 40;
  }
  int read = 0;
  const instance_pass pass = [&](const auto& visit) {
    for (const instance& in : instances) {
      ++read;
      if (in.number == 90000) throw sheetgen::error("x:90000: wrong");
      visit(in);
    }
  };
  int64_t next = 1;
  std::size_t items = 0;
  EXPECT_EQ(message_of([&] {
              read_ahead(pass)([&](const instance& in) {
                EXPECT_EQ(in.number, next++);
                items += in.items.size();
              });
            }),
            "x:90000: wrong");
  EXPECT_EQ(next, 90000);
  EXPECT_EQ(items, before_error);

  // A few batches ahead at most.
  read = 0;
  EXPECT_EQ(message_of([&] {
              read_ahead(pass)([](const instance& in) {
                if (in.number == 3) throw sheetgen::error("stop");
              });
            }),
            "stop");
  EXPECT_LT(read, 20000);
}

}  // namespace
}  // namespace sheetkit
