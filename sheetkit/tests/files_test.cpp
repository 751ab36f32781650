#include "files/files.h"

#include <gtest/gtest.h>
#include <sheetgen/types.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bytes_of.h"
#include "files/instance_reader.h"
#include "files/regular_file.h"
#include "solutions/solution_reader.h"
#include "test_util.h"
#include "unprivileged.h"

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
              file.string() + ": cannot be written: Permission denied");
    EXPECT_EQ(bytes_of(file), "new, complete");
  }
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, FailuresSayWhichFileAndLeaveNothingBehind) {
  const fs::path missing = dir_ / "no folder" / "out.txt";
  EXPECT_EQ(message_of([&] { write_file(missing, "x"); }),
            missing.string() + ": cannot be written: No such file or directory");
  // The rename fails: a folder stands at the name.
  fs::create_directory(dir_ / "taken");
  EXPECT_EQ(message_of([&] { write_file(dir_ / "taken", "x"); }),
            (dir_ / "taken").string() + ": cannot be written: Is a directory");
  EXPECT_EQ(entries(), 1u);
  // A device is written in place (a rename would replace it): the full
  // disk's error comes at the latest with the commit.
  if (fs::is_character_file("/dev/full")) {
    EXPECT_EQ(message_of([] { write_file("/dev/full", "x"); }),
              "/dev/full: cannot be written: No space left on device");
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

// Every way sheetkit reads a file, the library's readers among them, says
// why it cannot in one form: "NAME: cannot be read: REASON".
TEST_F(Files, EveryReaderSaysWhyInOneForm) {
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> readers = {
      {"open_input", [](const std::string& n) { open_input(n); }},
      {"read_whole_file", [](const std::string& n) { read_whole_file(n); }},
      {"read_small_file", [](const std::string& n) { read_small_file(n, 1000, true); }},
      {"open_items", [](const std::string& n) { open_items(n); }},
      {"read_solution", [](const std::string& n) { read_solution(n); }},
  };
  const std::string missing = (dir_ / "missing.txt").string();
  const std::string folder = dir_.string();
  const std::string locked = (dir_ / "locked.txt").string();
  write_file(locked, "1\n");
  fs::permissions(locked, fs::perms::none);
  const testing::unprivileged as_a_user;
  std::FILE* probe = std::fopen(locked.c_str(), "rb");
  if (probe != nullptr) std::fclose(probe);  // root still: no such file to be had
  for (const auto& entry : readers) {
    // Named, not bound: clang 14 lets no lambda capture a structured binding.
    const auto& name = entry.first;
    const auto& read = entry.second;
    EXPECT_EQ(message_of([&] { read(missing); }),
              missing + ": cannot be read: No such file or directory")
        << name;
    if (probe == nullptr) {
      EXPECT_EQ(message_of([&] { read(locked); }), locked + ": cannot be read: Permission denied")
          << name;
    }
    // A folder is refused by the reader of files from a folder for what it
    // is, before it is opened; every other reader gives the OS's reason.
    if (std::string(name) != "read_small_file") {
      EXPECT_EQ(message_of([&] { read(folder); }), folder + ": cannot be read: Is a directory")
          << name;
    }
  }
  EXPECT_EQ(message_of([&] { folder_entries(missing); }),
            missing + ": cannot be listed: No such file or directory");
  EXPECT_EQ(file_message("x.txt", "cannot be read", {}),
            "x.txt: cannot be read: the system gave no reason");
}

// A file that must not replace anything: made whole or not at all, and
// never over what is there.
TEST_F(Files, ANewFileNeverReplacesAndSaysWhy) {
  const fs::path file = dir_ / "done";
  write_new_file(file, "first");
  EXPECT_EQ(message_of([&] { write_new_file(file, "second"); }),
            file.string() + ": cannot be written: File exists");
  EXPECT_EQ(bytes_of(file), "first");
  // Not through a link either, even one to nothing.
  fs::create_symlink("nowhere", dir_ / "link");
  EXPECT_EQ(message_of([&] { write_new_file(dir_ / "link", "x"); }),
            (dir_ / "link").string() + ": cannot be written: File exists");
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
  const fs::path missing = dir_ / "no folder" / "done";
  EXPECT_EQ(message_of([&] { write_new_file(missing, "x"); }),
            missing.string() + ": cannot be written: No such file or directory");
  // The streaming writer says a full disk as write_file does.
  if (fs::is_character_file("/dev/full")) {
    EXPECT_EQ(message_of([] {
                file_writer w("/dev/full");
                w.write(std::string(1 << 16, 'x'));
                w.commit();
              }),
              "/dev/full: cannot be written: No space left on device");
  }
}

}  // namespace
}  // namespace sheetkit
