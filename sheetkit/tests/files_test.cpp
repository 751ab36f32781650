#include "files/files.h"

#include <gtest/gtest.h>
#include <sheetgen/types.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "bytes_of.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using sheetgen::testing::message_of;

using testing::bytes_of;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sheetkit_files_" + std::to_string(std::random_device()()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Everything in the folder, so that no temporary file goes unnoticed.
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

TEST_F(Files, AFileAppearsOnlyWhenComplete) {
  const fs::path file = dir_ / "out.txt";
  write_file(file, "old");
  {
    file_writer w(file);
    w.write("new, ");
    EXPECT_EQ(bytes_of(file), "old");  // nothing reaches the name before the commit
    w.write("complete");
    w.commit();
  }
  EXPECT_EQ(bytes_of(file), "new, complete");
  {
    file_writer abandoned(file);  // a failure on the way: no commit
    abandoned.write("half");
  }
  EXPECT_EQ(bytes_of(file), "new, complete");
  EXPECT_EQ(entries(), 1u);

  // Who may read it stays as it was; a file that may not be written (for
  // all but root) is not replaced.
  fs::permissions(file, fs::perms::owner_read);
  std::FILE* probe = std::fopen(file.string().c_str(), "ab");
  if (probe != nullptr) {
    std::fclose(probe);
    write_file(file, "root may");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read);
  } else {
    EXPECT_EQ(message_of([&] { write_file(file, "x"); }),
              "Cannot write file " + file.string() + ": Permission denied");
    EXPECT_EQ(bytes_of(file), "new, complete");
  }
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, FailuresSayWhichFileAndLeaveNothingBehind) {
  const fs::path missing = dir_ / "no folder" / "out.txt";
  EXPECT_EQ(message_of([&] { write_file(missing, "x"); }),
            "Cannot write file " + missing.string() + ": No such file or directory");
  // The rename fails: a folder stands at the name.
  fs::create_directory(dir_ / "taken");
  EXPECT_EQ(message_of([&] { write_file(dir_ / "taken", "x"); }),
            "Cannot write file " + (dir_ / "taken").string() + ": Is a directory");
  EXPECT_EQ(entries(), 1u);
  // A device is written in place (a rename would replace it): the full
  // disk's error comes at the latest with the commit.
  if (fs::is_character_file("/dev/full")) {
    EXPECT_EQ(message_of([] { write_file("/dev/full", "x"); }),
              "Cannot write file /dev/full: No space left on device");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
  }
}

TEST_F(Files, ALinkAtTheNameIsReplacedNotWrittenThrough) {
  write_file(dir_ / "target.txt", "keep");
  fs::create_symlink("target.txt", dir_ / "link.txt");
  write_file(dir_ / "link.txt", "new");
  EXPECT_FALSE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(bytes_of(dir_ / "link.txt"), "new");
  EXPECT_EQ(bytes_of(dir_ / "target.txt"), "keep");
}

}  // namespace
}  // namespace sheetkit
