// A file parsed on several threads gives what one thread gives: the same
// blocks, block lines and message, on good files and on every kind of
// damage, wherever the pieces fall.
#include "split_lines.h"

#include <gtest/gtest.h>
#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "line_reader.h"
#include "test_util.h"

namespace sheetgen {
namespace {

// Everything a reading gives: per block its first line and values, then
// the message it ended with (empty at a clean end).
struct reading {
  std::vector<int64_t> lines;
  std::vector<std::vector<int32_t>> values;
  std::string message;
  bool operator==(const reading&) const = default;
};

template <class Value>
void add_block(reading& r, const std::vector<Value>& block, int64_t line) {
  r.lines.push_back(line);
  std::vector<int32_t>& v = r.values.emplace_back();
  for (const Value& x : block) {
    const auto* p = reinterpret_cast<const int32_t*>(&x);
    v.insert(v.end(), p, p + sizeof(Value) / 4);
  }
}

template <class Reader, class Value>
reading read_all(Reader& reader) {
  reading r;
  std::vector<Value> block;
  try {
    while (reader.next_block(block)) add_block(r, block, reader.block_line());
  } catch (const error& e) {
    r.message = e.what();
  }
  return r;
}

// Sets the split's sizes for one test and puts them back after; reads
// without a mapping, which another test may have chosen for the process.
class split_sizes_for_test {
 public:
  explicit split_sizes_for_test(const split_sizes& s) : before_(split_reading()) {
    set_split_reading(s);
#ifndef _WIN32
    if (const char* read = std::getenv("SHEETGEN_READ")) read_ = read;
    unsetenv("SHEETGEN_READ");
#endif
  }
  ~split_sizes_for_test() {
    set_split_reading(before_);
#ifndef _WIN32
    if (!read_.empty()) setenv("SHEETGEN_READ", read_.c_str(), 1);
#endif
  }

 private:
  split_sizes before_;
  std::string read_;
};

constexpr line_format items{3, MAXMOD, "item"};
constexpr line_format defects{4, 5, "defect"};

// Random blocks of `fields` numbers a line, mostly as the writer writes
// them, some lines with CR LF or numbers of 9 and 10 digits (which only
// the careful parser takes), some blocks empty.
std::string random_text(std::mt19937& rng, int fields, int blocks, int most_lines) {
  std::string text;
  for (int b = 0; b < blocks; ++b) {
    const int lines = static_cast<int>(rng() % static_cast<unsigned>(most_lines + 1));
    for (int l = 0; l < lines; ++l) {
      for (int f = 0; f < fields; ++f) {
        const unsigned kind = rng() % 200;
        const uint32_t n = kind == 0 ? 2000000000u + rng() % 100000000u : 1 + rng() % 99999999u;
        text += std::to_string(n) + ".000000" + (f + 1 < fields ? "\t" : "");
      }
      text += rng() % 300 == 0 ? "\r\n" : "\n";
    }
    text += rng() % 300 == 0 ? "\r\n" : "\n";
  }
  return text;
}

// What damage a file meets: cut anywhere, a byte changed, a byte taken
// out, a line doubled (a block too long where the limit is small).
std::string damaged(std::string text, std::mt19937& rng) {
  if (text.empty()) return text;
  const std::size_t at = rng() % text.size();
  switch (rng() % 4) {
    case 0:
      text.resize(at);
      break;
    case 1:
      text[at] = "x\r\n\t 0-."[rng() % 8];
      break;
    case 2:
      text.erase(at, 1);
      break;
    default: {
      const std::size_t start = text.rfind('\n', at);
      const std::size_t from = start == std::string::npos ? 0 : start + 1;
      const std::size_t end = text.find('\n', from);
      if (end != std::string::npos) text.insert(from, text.substr(from, end - from + 1));
    }
  }
  return text;
}

template <class Value>
void expect_same_both_ways(const std::string& text, const line_format& format,
                           const testing::scratch_folder& folder, bool expect_split) {
  std::istringstream in(text);
  line_reader<Value> one(in, "f.txt", format);
  const reading alone = read_all<line_reader<Value>, Value>(one);
  folder.write("f.txt", text);
  line_reader<Value> split(folder / "f.txt", "f.txt", format);
  if (expect_split) {
    EXPECT_TRUE(split.split());
  }
  const reading both = read_all<line_reader<Value>, Value>(split);
  EXPECT_EQ(both, alone) << "text of " << text.size() << " bytes, message " << alone.message;
}

TEST(SplitLines, GoodAndDamagedTextsReadAsOnOneThread) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows reads on one thread";
#else
  testing::scratch_folder folder;
  std::mt19937 rng(7);
  for (const std::size_t piece : {512u, 700u, 4096u}) {
    for (const unsigned threads : {1u, 2u, 3u}) {
      split_sizes_for_test sizes({piece, 0, threads});
      for (int round = 0; round < 12; ++round) {
        const std::string text = random_text(rng, 3, 1 + round % 7, 40 + round * 3);
        expect_same_both_ways<rectangle>(text, items, folder, true);
        expect_same_both_ways<rectangle>(damaged(text, rng), items, folder, false);
        const std::string defect_text = random_text(rng, 4, 1 + round % 9, 6);
        expect_same_both_ways<placed_defect>(defect_text, defects, folder, true);
        expect_same_both_ways<placed_defect>(damaged(defect_text, rng), defects, folder, false);
      }
    }
  }
#endif
}

TEST(SplitLines, BlockTooLongAndFileEndsInsideABlock) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows reads on one thread";
#else
  testing::scratch_folder folder;
  split_sizes_for_test sizes({512, 0, 2});
  std::string line = "1.000000\t2.000000\t2.000000\n";
  std::string text;
  for (int i = 0; i < 40; ++i) text += line;
  text += "\n";
  std::string long_block = text;
  for (int i = 0; i <= MAXMOD; ++i) long_block += line;
  long_block += "\n";
  expect_same_both_ways<rectangle>(long_block, items, folder, true);
  expect_same_both_ways<rectangle>(text + line, items, folder, true);
  expect_same_both_ways<rectangle>(text + "\n\n", items, folder, true);
#endif
}

TEST(SplitLines, SmallFilesAndPipesKeepOneThread) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows reads on one thread";
#else
  testing::scratch_folder folder;
  folder.write("small.txt", "1.000000\t1.000000\t1.000000\n\n");
  {
    split_sizes_for_test defaults(split_reading());
    line_reader<rectangle> small(folder / "small.txt", "small.txt", items);
    EXPECT_FALSE(small.split());  // under the default smallest file
  }
  split_sizes_for_test sizes({512, 0, 2});
  line_reader<rectangle> forced(folder / "small.txt", "small.txt", items);
  EXPECT_TRUE(forced.split());
  // The public readers by name take the split too, and give the same.
  std::string text;
  for (int b = 0; b < 50; ++b) text += "3.000000\t4.000000\t12.000000\n\n";
  folder.write("run.txt", text);
  instance_reader by_name(folder / "run.txt", "run.txt");
  std::vector<rectangle> block;
  int blocks = 0;
  while (by_name.next(block)) {
    ++blocks;
    EXPECT_EQ(by_name.block_line(), 2 * blocks - 1);
  }
  EXPECT_EQ(blocks, 50);
  // A FIFO is read as it comes.
  const std::filesystem::path fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << text; });
  line_reader<rectangle> piped(fifo, "fifo", items);
  EXPECT_FALSE(piped.split());
  EXPECT_EQ((read_all<line_reader<rectangle>, rectangle>(piped).lines.size()), 50u);
  writer.join();
#endif
}

}  // namespace
}  // namespace sheetgen
