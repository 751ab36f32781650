// Reading the files back: exactly what the writer writes passes, anything
// else stops at its line with a message that says what is wrong. The line
// forms are tried here on the instance file; both readers share them.
#include <gtest/gtest.h>
#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::line;

std::vector<std::vector<rectangle>> read_all(const std::string& text) {
  return testing::read_blocks<instance_reader, rectangle>(text, "f");
}

std::string error_of(const std::string& text) {
  return testing::read_error<instance_reader, rectangle>(text, "f");
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::string bare = "3.000000\t5.000000\t15.000000";  // without its line end
const std::string good = bare + "\n";

TEST(InstanceReader, RefusesWhatTheWriterNeverWrites) {
  const struct {
    std::string text, message;
  } cases[] = {
      {"3.000000\t5.000000\n\n",
       "f:1: expected 3 numbers separated by tabs, found 2: \"3.000000\\t5.000000\""},
      {good + "\n" + line({3, 5, 15, 1}) + "\n",
       "f:3: expected 3 numbers separated by tabs, found 4: "
       "\"3.000000\\t5.000000\\t15.000000\\t1.000000\""},
      {"3.000000\t\t15.000000\n\n",
       "f:1: expected 3 numbers separated by single tabs, found an empty field: "
       "\"3.000000\\t\\t15.000000\""},
      {bare + "\t\n\n",  // a tab after the last number
       "f:1: expected 3 numbers separated by tabs, found 4: "
       "\"3.000000\\t5.000000\\t15.000000\\t\""},
      {"3.000000 5.000000 15.000000\n\n",
       "f:1: space in the line (numbers are separated by tabs): \"3.000000 5.000000 15.000000\""},
      {"3.0000000\t5.000000\t15.000000\n\n",
       "f:1: number is not an integer written with \".000000\": \"3.0000000\""},
      {"3.000000\t5.00000\t15.000000\n\n",
       "f:1: number is not an integer written with \".000000\": \"5.00000\""},
      {"3\t5.000000\t15.000000\n\n",
       "f:1: number is not an integer written with \".000000\": \"3\""},
      {"3.000000\t5.000000\t15.500000\n\n",
       "f:1: number is not an integer written with \".000000\": \"15.500000\""},
      {"-3.000000\t5.000000\t15.000000\n\n", "f:1: negative number: \"-3.000000\""},
      {"+3.000000\t5.000000\t15.000000\n\n", "f:1: number with a plus sign: \"+3.000000\""},
      {"03.000000\t5.000000\t15.000000\n\n", "f:1: number with a leading zero: \"03.000000\""},
      {"0.000000\t00.000000\t0.000000\n\n", "f:1: number with a leading zero: \"00.000000\""},
      {"2147483648.000000\t1.000000\t1.000000\n\n",
       "f:1: number too large (more than 2147483647): \"2147483648.000000\""},
      {"1.000000\t1.000000\t12345678901.000000\n\n",
       "f:1: number too large (more than 2147483647): \"12345678901.000000\""},
      {"abc\n\n", "f:1: not a number: \"abc\""},
      {"1e3.000000\t5.000000\t15.000000\n\n", "f:1: not a number: \"1e3.000000\""},
      {"\xef\xbb\xbf" + good + "\n", "f:1: not a number: \"\\xef\\xbb\\xbf3.000000\""},
      {bare + "\r" + good + "\n",
       "f:1: carriage return not followed by a line feed: "
       "\"3.000000\\t5.000000\\t15.000000\\r3.000000\\t5.0\"..."},
      {good + "\r\r\n", "f:2: carriage return not followed by a line feed: \"\\r\""},
      {std::string("3.000000\t5\0.000000\t15.000000\n\n", 29),
       "f:1: control character \"\\x00\" in the line: \"3.000000\\t5\\x00.000000\\t15.000000\""},
      // A last line without its line end, as a killed run leaves it.
      {"3.000000\t5.000000\t15.0", "f:1: file ends in the middle of a line: cut short?"},
      {good + "\n" + good + "7.000000\t", "f:4: file ends in the middle of a line: cut short?"},
      {good + bare + "\r", "f:2: file ends in the middle of a line: cut short?"},
      {good + "3.000000\t5x", "f:2: not a number: \"5x\""},  // not merely cut
      {good,
       "f:2: file ends inside the block that starts on line 1: its empty line is missing "
       "(cut short?)"},
      {good + "\n" + good + good,
       "f:5: file ends inside the block that starts on line 3: its empty line is missing "
       "(cut short?)"},
      {good + "\nextra\n", "f:3: not a number: \"extra\""},  // after the last block
      {"\r\n\n" + bare + "\r\n\r\n3.000000\n\n",
       "f:5: expected 3 numbers separated by tabs, found 1: \"3.000000\""},
      // Longer than any line: refused without reading on, and without
      // counting fields beyond what was looked at.
      {repeated("1.000000\t", 200000) + "\n\n",
       "f:1: expected 3 numbers separated by tabs, found more than 3: "
       "\"1.000000\\t1.000000\\t1.000000\\t1.000000\\t1.00\"..."},
      {std::string(200000, '7') + "\n\n",
       "f:1: number too large (more than 2147483647): \"" + std::string(40, '7') + "\"..."},
      {bare + std::string(200000, ' ') + "\n\n",
       "f:1: space in the line (numbers are separated by tabs): "
       "\"3.000000\\t5.000000\\t15.000000" +
           std::string(13, ' ') + "\"..."},
  };
  for (const auto& c : cases) EXPECT_EQ(error_of(c.text), c.message) << c.text.substr(0, 80);
}

TEST(InstanceReader, AcceptsWhatTheWriterWritesWithLfOrCrLf) {
  EXPECT_TRUE(read_all("").empty());

  // Numbers of every length and at the range's edges; line ends mixed.
  std::istringstream in("\n" + line({0, 1, 12}) + line({123, 1234, 12345}) + "\r\n" +
                        "123456.000000\t1234567.000000\t12345678.000000\r\n" +
                        line({123456789, 1000000000, 2147483647}) + "\n\r\n");
  instance_reader reader(in, "f");
  std::vector<rectangle> items{rectangle::of(1, 1)};  // emptied by next
  std::vector<std::vector<rectangle>> blocks;
  std::vector<int64_t> starts;
  while (reader.next(items)) {
    blocks.push_back(items);
    starts.push_back(reader.block_line());
  }
  const std::vector<std::vector<rectangle>> expected = {
      {},
      {{.area = 12, .length = 0, .width = 1}, {.area = 12345, .length = 123, .width = 1234}},
      {{.area = 12345678, .length = 123456, .width = 1234567},
       {.area = 2147483647, .length = 123456789, .width = 1000000000}},
      {}};
  EXPECT_EQ(blocks, expected);
  EXPECT_EQ(starts, (std::vector<int64_t>{1, 2, 5, 8}));
}

TEST(InstanceReader, BoundsTheLinesOfABlock) {
  std::string block;
  for (int i = 0; i < MAXMOD; ++i) block += good;
  EXPECT_EQ(read_all("\n" + block + "\n").size(), 2u);
  EXPECT_EQ(error_of("\n" + block + good + "\n"),
            "f:20002: block has more than 20000 item lines (it starts on line 2)");
}

// Serves `text` in pieces of odd sizes, as a pipe does, then fails as a
// file on a failing disk does in libstdc++'s filebuf.
class pipe_buffer : public std::streambuf {
 public:
  explicit pipe_buffer(std::string text) : text_(std::move(text)) {}

 protected:
  std::streamsize xsgetn(char* to, std::streamsize n) override {
    if (at_ == text_.size())
      throw std::ios_base::failure("read failed", std::error_code(EIO, std::generic_category()));
    const std::size_t piece =
        std::min({static_cast<std::size_t>(n), text_.size() - at_, std::size_t{1} + at_ % 7919});
    text_.copy(to, piece, at_);
    at_ += piece;
    return static_cast<std::streamsize>(piece);
  }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

// Files of several read-ahead halves: every line, wherever it falls
// against the halves, is read once and in order, CR LF or not, and an
// error far into the file names its line.
TEST(InstanceReader, ReadsAheadInLargeFiles) {
  std::string file;
  std::vector<std::vector<rectangle>> expected;
  for (int block = 0; block < 60; ++block) {
    expected.emplace_back();
    for (int i = 0; i < 1000; ++i) {
      const int32_t length = 1 + (block * 7919 + i * 104729) % 99991;
      const int32_t width = 1 + i % 1000;
      expected.back().push_back({length * width, length, width});
      file += line({length, width, int64_t{length} * width});
      if (i % 3 == 0) {
        file.back() = '\r';
        file += '\n';
      }
    }
    file += "\n";
  }
  ASSERT_GT(file.size(), std::size_t{1} << 20);  // four halves
  EXPECT_EQ(read_all(file), expected);

  std::string wrong = file;
  const std::size_t at = wrong.size() - 1000;
  wrong.insert(at, "x");
  const auto wrong_line =
      std::count(wrong.begin(), wrong.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
  const std::string error = error_of(wrong);
  EXPECT_EQ(error.substr(0, error.find(": ")), "f:" + std::to_string(wrong_line)) << error;

  // A stream that breaks after the file: every block before it is read,
  // then the OS error comes out naming the file and the reason.
  pipe_buffer pipe(file.substr(0, file.size() - 1));  // without the last empty line
  std::istream in(&pipe);
  instance_reader reader(in, "f");
  std::vector<rectangle> items;
  int blocks = 0;
  try {
    while (reader.next(items)) {
      EXPECT_EQ(items, expected[blocks]);
      ++blocks;
    }
    ADD_FAILURE() << "no error";
  } catch (const file_error& e) {
    EXPECT_STREQ(e.what(), "f: cannot be read: Input/output error");
    EXPECT_EQ(e.file(), "f");
    EXPECT_EQ(e.code().value(), EIO);
  }
  EXPECT_EQ(blocks, 59);
}

// Mapped files that end at a page's edge read as streamed ones do, to the
// last byte and no further: whole, or wrong at the end with the same message.
TEST(InstanceReader, ReadsFilesEndingAtPageEdges) {
  const std::string block = "1.000000\t1.000000\t1.000000\n\n";
  for (const std::size_t size : {std::size_t{4096}, std::size_t{8192}, std::size_t{1} << 20}) {
    std::string file(size % block.size(), '\n');
    for (std::size_t i = 0; i < size / block.size(); ++i) file += block;
    ASSERT_EQ(file.size(), size);
    EXPECT_EQ(read_all(file).size(), size % block.size() + size / block.size());
    file.back() = '7';
    EXPECT_EQ(error_of(file),
              "f:" + std::to_string(size % block.size() + 2 * (size / block.size())) +
                  ": file ends in the middle of a line: cut short?");
  }
}

// A file cut short or grown while it is read by name: wherever the cut
// falls against what was read and what is read ahead, the reader says so
// (never a SIGBUS), as it does for the end of a file that grew.
TEST(InstanceReader, ReportsAFileThatChangedWhileItWasRead) {
#ifdef _WIN32
  GTEST_SKIP() << "no mapping on Windows";
#endif
  testing::read_by_mapping();
  std::string file;
  for (int block = 0; block < 40; ++block) {
    for (int i = 1; i <= 1000; ++i) file += line({i, 7, 7 * i});
    file += "\n";
  }
  const std::size_t size = file.size();
  ASSERT_GT(size, std::size_t{1} << 20);
  testing::scratch_folder dir;
  const std::filesystem::path path = dir / "instances.txt";
  for (const std::size_t cut :
       {std::size_t{0}, std::size_t{40000}, size / 10, size / 2, size - 5000, size - 1, size + 1}) {
    dir.write("instances.txt", file);
    instance_reader reader(path, "f");
    std::vector<rectangle> items;
    ASSERT_TRUE(reader.next(items));
    ASSERT_TRUE(reader.next(items));  // about 28 KB in, the next window on its way
    std::filesystem::resize_file(path, cut);
    EXPECT_EQ(testing::message_of([&] {
                while (reader.next(items)) {
                }
              }),
              "f changed while it was being read")
        << cut;
  }
}

TEST(InstanceReader, RefusesAStreamThatDidNotOpen) {
  std::ifstream missing("/nonexistent/instances.txt");
  EXPECT_THROW(instance_reader(missing, "instances.txt"), error);
}

// Reads `file` (both ways) and writes its blocks again as the writer would; returns the
// text and the number of blocks.
template <typename Reader, typename Value, typename ToLine>
std::pair<std::string, int> rewrite(const std::string& file, ToLine to_line) {
  std::pair<std::string, int> out;
  for (const auto& block : testing::read_blocks<Reader, Value>(file, "file")) {
    for (const Value& v : block) out.first += to_line(v);
    out.first += '\n';
    ++out.second;
  }
  return out;
}

// Each stored run's files, read back and written again, are the same bytes,
// with one block per instance.
TEST(FileReaders, ReadBackEveryStoredRun) {
  int runs = 0;
  int defect_files = 0;
  for (const auto& [folder, ext] : {std::pair{"examples", ".txt"}, {"tests/data", ".answers"}}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(SHEETGEN_SOURCE_DIR) / folder)) {
      if (entry.path().extension() != ext) continue;
      ++runs;
      std::ifstream answers_in(entry.path());
      std::stringstream answers;
      answers << answers_in.rdbuf();
      int instances = 0;
      answers >> instances;
      testing::scratch_folder dir;
      const int status = testing::run_with(answers.str(), dir.path()).status;

      const std::string items = dir.read("instances.txt");
      const auto [items_again, item_blocks] =
          rewrite<instance_reader, rectangle>(items, [](const rectangle& r) {
            return line({r.length, r.width, r.area});
          });
      EXPECT_EQ(items_again, items) << entry.path();
      if (status == 0) {
        EXPECT_EQ(item_blocks, instances) << entry.path();
      } else {  // an aborted run keeps the blocks finished before
        EXPECT_LT(item_blocks, instances) << entry.path();
      }
      if (!dir.has("defects.txt")) continue;
      ++defect_files;
      const std::string defects = dir.read("defects.txt");
      const auto [defects_again, defect_blocks] =
          rewrite<defect_reader, placed_defect>(defects, [](const placed_defect& d) {
            return line({d.x1, d.y1, d.x2, d.y2});
          });
      EXPECT_EQ(defects_again, defects) << entry.path();
      EXPECT_EQ(defect_blocks, instances) << entry.path();
    }
  }
  EXPECT_GE(runs, 8);
  EXPECT_GE(defect_files, 5);
}

}  // namespace
}  // namespace sheetgen
