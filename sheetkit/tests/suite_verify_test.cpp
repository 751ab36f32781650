#include "suites/suite_verify.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "bytes_of.h"
#include "suite_example.h"
#include "test_util.h"
#include "unprivileged.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;

// The example suite, made once; each case spoils a copy of it.
class SuiteVerify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    made_ = new sheetgen::testing::scratch_folder;
    made_->write("suite.json", testing::suite_json_text);
    ASSERT_EQ(sheetkit({"suite", "make", (*made_ / "suite.json").string(), "-o",
                        (*made_ / "suite").string()})
                  .status,
              0);
  }
  static void TearDownTestSuite() { delete made_; }

  // Verifies a copy of the suite after `spoil` has changed it.
  testing::cli_result verify_spoiled(const std::function<void(const fs::path&)>& spoil,
                                     std::vector<std::string> more = {}) {
    const fs::path dir = copy_ / "suite";
    fs::remove_all(dir);
    fs::copy(*made_ / "suite", dir, fs::copy_options::recursive);
    spoil(dir);
    std::vector<std::string> args{"suite", "verify", dir.string()};
    args.insert(args.end(), more.begin(), more.end());
    return sheetkit(args);
  }

  static sheetgen::testing::scratch_folder* made_;
  sheetgen::testing::scratch_folder copy_;
};

sheetgen::testing::scratch_folder* SuiteVerify::made_ = nullptr;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(SuiteVerify, IdenticalAndEveryChangeFound) {
  const testing::cli_result same = verify_spoiled([](const fs::path&) {});
  EXPECT_EQ(same.status, 0) << same.out;
  EXPECT_TRUE(has(same.out,
                  "worked/s1: identical (the run ends in the repair abort and its files are as "
                  "sheetgen leaves them)\nworked/s2: identical\n"));
  EXPECT_TRUE(has(same.out, "tight/s60: skipped: its run ends in the repair abort\n"));
  EXPECT_TRUE(has(same.out,
                  "8 sets: 8 identical, 0 differ; 62 seeds skipped as the run aborts; "
                  "manifest.tsv agrees, SHA256SUMS agrees\nmanifest sha256: "));

  const std::string d = (copy_ / "suite").string();
  const struct {
    const char* what;
    std::function<void(const fs::path&)> spoil;
    std::string found;
  } spoiled[] = {
      {"one byte",
       [](const fs::path& dir) {
         fs::resize_file(dir / "worked/s19/instances.txt", 46);  // line 2's area
         std::ofstream(dir / "worked/s19/instances.txt", std::ios::app) << "16.000001\n";
       },
       "worked/s19: differs\n  " + d +
           "/worked/s19/instances.txt:2: differs\n"
           "    expected: 2.000000\\t8.000000\\t16.000000\n"
           "    found:    2.000000\\t8.000000\\t16.000001\n"},
      {"a set deleted", [](const fs::path& dir) { fs::remove_all(dir / "sheet/s0"); },
       "sheet/s0: missing: no folder " + d + "/sheet/s0\n"},
      {"an extra file",
       [](const fs::path& dir) { std::ofstream(dir / "worked/s2/notes.txt") << "mine"; },
       "worked/s2: differs\n  " + d + "/worked/s2/notes.txt: not part of the set\n"},
      {"an extra folder", [](const fs::path& dir) { fs::create_directories(dir / "sheet/s7"); },
       d + "/sheet/s7: not part of the suite\n"},
      {"a folder for a skipped seed",
       [](const fs::path& dir) { fs::create_directories(dir / "tight/s61"); },
       "tight/s61: its run ends in the repair abort, so the seed is skipped and has no folder\n"},
      {"answers changed",
       [](const fs::path& dir) { std::ofstream(dir / "worked/s2/answers.txt") << "2\n10\n"; },
       "worked/s2: differs\n  " + d +
           "/worked/s2/answers.txt:3: file ends early at line 3\n"
           "    expected: 10\n    found:    (end of file)\n"},
      {"the manifest changed",
       [](const fs::path& dir) {
         std::fstream m(dir / "manifest.tsv", std::ios::in | std::ios::out | std::ios::binary);
         m.seekp(200);  // on line 3
         m.put('#');
       },
       d + "/manifest.tsv:3: differs\n"},
      {"SHA256SUMS without a line",
       [](const fs::path& dir) { fs::resize_file(dir / "SHA256SUMS", 88); },
       d + "/SHA256SUMS:2: file ends early at line 2\n"},
  };
  for (const auto& s : spoiled) {
    const testing::cli_result found = verify_spoiled(s.spoil);
    EXPECT_EQ(found.status, 1) << s.what;
    EXPECT_TRUE(has(found.out, s.found)) << s.what << ":\n" << found.out;
  }
}

TEST_F(SuiteVerify, AShardChecksItsSetsAndTheirLines) {
  const testing::cli_result same = verify_spoiled([](const fs::path&) {}, {"--shard", "3/3"});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out.substr(0, same.out.find("manifest sha256")),
            "worked/s19: identical\nsheet/s1: identical\n"
            "shard 3/3: 2 sets: 2 identical, 0 differ; manifest.tsv agrees, SHA256SUMS agrees\n");
  const testing::cli_result other = verify_spoiled(
      [](const fs::path& dir) {
        fs::remove_all(dir / "worked/s2");  // shard 2's
        std::ofstream(dir / "SHA256SUMS", std::ios::app) << "0  sheet/s1/answers.txt\n";
      },
      {"--shard", "3/3"});
  EXPECT_EQ(other.status, 1);
  EXPECT_TRUE(has(other.out, "SHA256SUMS:"));
  EXPECT_FALSE(has(other.out, "worked/s2"));
}

// make keeps a set by its .done and writes the manifest from it: verify
// holds .done to the files too, so both agree on what a complete set is.
TEST_F(SuiteVerify, DoneIsHeldToTheSetsFiles) {
  const std::string d = (copy_ / "suite").string();
  const testing::cli_result flipped = verify_spoiled([](const fs::path& dir) {
    std::ifstream in(dir / "sheet/s1/.done", std::ios::binary);
    std::string done((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    char& digit = done[done.size() - 2];  // the last of instances.txt's digest
    digit = digit == '0' ? '1' : '0';
    std::ofstream(dir / "sheet/s1/.done", std::ios::binary) << done;
  });
  EXPECT_EQ(flipped.status, 1);
  EXPECT_TRUE(has(flipped.out, "sheet/s1: differs\n  " + d +
                                   "/sheet/s1/.done:3: differs from the set's files (make would "
                                   "write it into the manifest)\n"))
      << flipped.out;
  // make holds it to the files as verify does: it never seals the edited
  // .done into the manifest, and --force makes the set again.
  const fs::path dir = copy_ / "suite";
  const std::string manifest = testing::bytes_of(dir / "manifest.tsv");
  const std::string definition = (*made_ / "suite.json").string();
  const testing::cli_result kept = sheetkit({"suite", "make", definition, "-o", dir.string()});
  EXPECT_EQ(kept.status, 2);
  EXPECT_TRUE(has(kept.err, d + "/sheet/s1: its .done does not describe its instances.txt"))
      << kept.err;
  EXPECT_EQ(testing::bytes_of(dir / "manifest.tsv"), manifest);
  EXPECT_EQ(sheetkit({"suite", "make", definition, "-o", dir.string(), "--force"}).status, 0);
  EXPECT_EQ(sheetkit({"suite", "verify", dir.string()}).status, 0);
  EXPECT_EQ(testing::bytes_of(dir / "manifest.tsv"), manifest);

  const testing::cli_result gone =
      verify_spoiled([](const fs::path& dir) { fs::remove(dir / "sheet/s1/.done"); });
  EXPECT_EQ(gone.status, 1);
  EXPECT_TRUE(has(gone.out, "sheet/s1: differs\n  " + d +
                                "/sheet/s1/.done: missing: without it make does not take the set "
                                "for one it made\n"))
      << gone.out;
}

// A published suite may carry links, FIFOs and devices: each is named,
// never read or waited on, by verify, report and stats --suite.
TEST_F(SuiteVerify, WhatIsNoPlainFileIsNamedAndNeverRead) {
  const std::string d = (copy_ / "suite").string();
  const auto fifo = [](const fs::path& path) {
    fs::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  };
  const auto link = [](const fs::path& to, const fs::path& path) {
    fs::remove(path);
    fs::create_symlink(to, path);
  };
  const struct {
    const char* what;
    std::function<void(const fs::path&)> spoil;
    std::string found;    // in verify's report
    std::string refused;  // report's and stats' message, when they read the file
  } spoiled[] = {
      {"manifest.tsv a link to /dev/zero",
       [&](const fs::path& dir) { link("/dev/zero", dir / "manifest.tsv"); },
       d + "/manifest.tsv: a link, not a plain file\n",
       d + "/manifest.tsv: a link, not a plain file"},
      {"manifest.tsv a FIFO", [&](const fs::path& dir) { fifo(dir / "manifest.tsv"); },
       d + "/manifest.tsv: a FIFO, not a plain file\n",
       d + "/manifest.tsv: a FIFO, not a plain file"},
      {"a set file a FIFO", [&](const fs::path& dir) { fifo(dir / "worked/s2/instances.txt"); },
       "worked/s2: differs\n  " + d + "/worked/s2/instances.txt: a FIFO, not a plain file\n",
       d + "/worked/s2/instances.txt: a FIFO, not a plain file"},
      {"a set file a link to the same bytes outside",
       [&](const fs::path& dir) {
         fs::copy_file(dir / "sheet/s0/instances.txt", dir.parent_path() / "outside.txt",
                       fs::copy_options::overwrite_existing);
         link(dir.parent_path() / "outside.txt", dir / "sheet/s0/instances.txt");
       },
       "sheet/s0: differs\n  " + d + "/sheet/s0/instances.txt: a link, not a plain file\n",
       d + "/sheet/s0/instances.txt: a link, not a plain file"},
      {"an empty set file a link to /dev/null",
       [&](const fs::path& dir) { link("/dev/null", dir / "worked/s1/instances.txt"); },
       "worked/s1: differs\n  " + d + "/worked/s1/instances.txt: a link, not a plain file\n", ""},
      {".done a link to /dev/zero",
       [&](const fs::path& dir) { link("/dev/zero", dir / "worked/s2/.done"); },
       "worked/s2: differs\n  " + d + "/worked/s2/.done: a link, not a plain file\n", ""},
  };
  for (const auto& s : spoiled) {
    const testing::cli_result found = verify_spoiled(s.spoil);
    EXPECT_EQ(found.status, 1) << s.what;
    EXPECT_TRUE(has(found.out, s.found)) << s.what << ":\n" << found.out;
    if (s.refused.empty()) continue;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"suite", "report", d, "-o", "-"},
          std::vector<std::string>{"stats", "--suite", d}}) {
      const testing::cli_result refused = sheetkit(command);
      EXPECT_EQ(refused.status, 1) << s.what << " " << command[0];
      EXPECT_TRUE(has(refused.err, s.refused))
          << s.what << " " << command[0] << ": " << refused.err;
    }
  }
  // make reads .done to keep a set: a FIFO there is named, not waited on.
  verify_spoiled([&](const fs::path& dir) { fifo(dir / "worked/s2/.done"); });
  const testing::cli_result make =
      sheetkit({"suite", "make", (copy_ / "suite/suite.json").string(), "-o", d});
  EXPECT_EQ(make.status, 1);
  EXPECT_EQ(make.err,
            "sheetkit: suite make: " + d + "/worked/s2/.done: a FIFO, not a plain file\n");
  const testing::cli_result definition =
      verify_spoiled([&](const fs::path& dir) { link("/dev/zero", dir / "suite.json"); });
  EXPECT_EQ(definition.status, 1);
  EXPECT_EQ(definition.err,
            "sheetkit: suite verify: " + d + "/suite.json: a link, not a plain file\n");
}

// A folder that cannot be listed is named with the reason: a set's in its
// report, the others still checked; a class folder's as the error that
// ends verify, and make's the same way.
TEST_F(SuiteVerify, AFolderThatCannotBeReadIsNamedWithItsReason) {
  const fs::path d = copy_ / "suite";
  const testing::unprivileged as_a_user;
  const auto locked = [](const char* folder) {
    return [folder](const fs::path& dir) { fs::permissions(dir / folder, fs::perms::none); };
  };
  const auto unlock = [&](const char* folder) {
    fs::permissions(d / folder, fs::perms::owner_all);
  };
  const testing::cli_result set = verify_spoiled(locked("worked/s19"), {"-j", "2"});
  unlock("worked/s19");
  EXPECT_EQ(set.status, 1);
  EXPECT_TRUE(has(set.out, "worked/s2: identical\nworked/s19: differs\n")) << set.out;
  EXPECT_TRUE(
      has(set.out, "  " + (d / "worked/s19").string() + ": cannot be listed: Permission denied\n"))
      << set.out;
  EXPECT_TRUE(has(set.out, "sheet/s1: identical\n")) << set.out;

  const testing::cli_result cls = verify_spoiled(locked("tight"));
  unlock("tight");
  EXPECT_EQ(cls.status, 1);
  EXPECT_EQ(cls.err, "sheetkit: suite verify: " + (d / "tight").string() +
                         ": cannot be listed: Permission denied\n");
  EXPECT_FALSE(has(cls.out, "missing")) << cls.out;  // its sets are not there to call missing
  fs::permissions(d / "worked", fs::perms::none);
  const testing::cli_result make =
      sheetkit({"suite", "make", (d / "suite.json").string(), "-o", d.string()});
  unlock("worked");
  EXPECT_EQ(make.status, 1);
  EXPECT_EQ(make.err, "sheetkit: suite make: " + (d / "worked").string() +
                          ": cannot be listed: Permission denied\n");
}

}  // namespace
}  // namespace sheetkit
