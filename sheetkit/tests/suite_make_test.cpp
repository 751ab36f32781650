#include "suites/suite_make.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "files/folder_lock.h"
#include "suite_example.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;
using testing::tree;

// The suite's manifest: the one number a paper cites, for these answers
// on any machine.
constexpr const char* recorded_manifest_sha256 =
    "d8fdc3165cb5ff767c36f91010c6fd3a25bdcb5193a98c975c651b03ccfbf148";

class SuiteMake : public ::testing::Test {
 protected:
  void SetUp() override { folder_.write("suite.json", testing::suite_json_text); }

  testing::cli_result make(const std::string& dir, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"suite", "make", suite(), "-o", (folder_ / dir).string()};
    args.insert(args.end(), more.begin(), more.end());
    return sheetkit(args);
  }
  std::string suite() const { return (folder_ / "suite.json").string(); }

  sheetgen::testing::scratch_folder folder_;
};

TEST_F(SuiteMake, TheRecordedManifestWithAnyNumberOfJobsOrShards) {
  const testing::cli_result one = make("one", {"-j", "1"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out,
            "worked-demo: 8 sets made, 0 kept from before; 62 seeds skipped, as the run ends in "
            "the repair abort; 1 set kept as the run ends in the repair abort\n"
            "manifest sha256: " +
                std::string(recorded_manifest_sha256) + "\n");
  const auto made = tree(folder_ / "one");
  EXPECT_EQ(made.at("suite.json"), testing::suite_json_text);
  EXPECT_EQ(made.at("worked/s19/instances.txt"), sheetgen::testing::worked::instance_file_text());
  EXPECT_EQ(made.at("worked/s19/defects.txt"), sheetgen::testing::worked::defect_file_text());
  EXPECT_EQ(made.count("worked/s1/defects.txt"), 0u);  // as sheetgen leaves a run that aborts
  EXPECT_EQ(made.count("tight/s60"), 0u);
  const std::string& manifest = made.at("manifest.tsv");
  EXPECT_EQ(manifest.substr(0, manifest.find('\n', manifest.find('\n') + 1) + 1),
            "# sheetgen suite manifest 1\tsheetgen 1.0.0\tsuite worked-demo\n"
            "set\tclass\tseed\tinstances\tlength\twidth\titem_types\tlower\tupper\tdefects\t"
            "status\tfile\tbytes\tsha256\n");
  for (const char* row :
       {"\nsheet/s-1\tsheet\t-1\t5\t6000\t3210\t20\t0.001\t0.02\t-\tcompleted\t"
        "sheet/s-1/answers.txt\t",
        "\ntight/s60\ttight\t60\t30\t10\t10\t20\t0.1\t0.2\t-\tskipped: repair abort\t-\t-\t-\n",
        "\nworked/s1\tworked\t1\t2\t10\t10\t4\t0.1\t0.2\t3x2 10x1\trepair abort\t"
        "worked/s1/"
        "instances.txt\t0\te3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\n"}) {
    EXPECT_NE(manifest.find(row), std::string::npos) << row;
  }
  // As sha256sum writes it (and as it gives the worked example's file).
  EXPECT_NE(made.at("SHA256SUMS")
                .find("\n2b08c7d0ff9ffd4476aae0645b131bfc44fe384e494521c617c719409b425224  "
                      "worked/s19/instances.txt\n"),
            std::string::npos);

  ASSERT_EQ(make("four", {"-j", "4"}).status, 0);
  EXPECT_EQ(tree(folder_ / "four"), made);
  for (const char* shard : {"3/3", "1/3", "2/3"}) {
    const testing::cli_result part = make("shards", {"--shard", shard});
    ASSERT_EQ(part.status, 0) << part.err;
    EXPECT_FALSE(fs::exists(folder_ / "shards/manifest.tsv"));
  }
  const testing::cli_result last = make("shards");
  EXPECT_EQ(last.out.substr(0, 37), "worked-demo: 0 sets made, 8 kept from");
  EXPECT_EQ(tree(folder_ / "shards"), made);
}

TEST_F(SuiteMake, MakingAgainKeepsTheCompleteSetsAndClearsWhatAKillLeft) {
  ASSERT_EQ(make("one").status, 0);
  const auto made = tree(folder_ / "one");
  // A set gone, one that was being written, the manifest half-replaced.
  fs::remove_all(folder_ / "one/worked/s2");
  fs::create_directories(folder_ / "one/worked/.s2.tmp-0123456789ab");
  folder_.write("one/worked/.s2.tmp-0123456789ab/instances.txt", "3.000000\t5.0");
  fs::create_directories(folder_ / "one/tight/.s68.tmp-0123456789ab");
  folder_.write("one/manifest.tsv.tmp-0123456789ab", "# sheetgen");
  const testing::cli_result again = make("one");
  EXPECT_EQ(again.out.substr(0, 39), "worked-demo: 1 set made, 7 kept from be");
  EXPECT_EQ(tree(folder_ / "one"), made);
}

TEST_F(SuiteMake, RefusesWhatItWouldSpoilAndSaysWhy) {
  ASSERT_EQ(make("one").status, 0);
  folder_.write("file", "");
  fs::create_directories(folder_ / "busy");
  folder_.write("busy/notes.txt", "mine");
  const std::string dir = folder_.path().string();
  const struct {
    std::string dir, err;
  } refusals[] = {
      {"file", dir + "/file: not a folder"},
      {"busy", dir + "/busy: holds files but no suite; give a new or empty folder"},
      {"one/worked/s2/more", dir + "/one/worked/s2/more: inside the suite or set " + dir +
                                 "/one/worked/s2; give a folder outside it"},
  };
  for (const auto& r : refusals) {
    const testing::cli_result refused = make(r.dir);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "sheetkit: suite make: " + r.err + "\n");
  }
  EXPECT_EQ(tree(folder_ / "busy").size(), 1u);
  EXPECT_EQ(sheetkit({"suite", "make", suite(), "-o", "-"}).err,
            "sheetkit: suite make: -o \"-\": a suite is a folder; give its name\n");

  // Another suite file: refused, then made with --force, keeping the sets that stay.
  std::string other = testing::suite_json_text;
  other.replace(other.find("[1, 2, 19]"), 10, "[2, 3]");
  folder_.write("suite.json", other);
  const testing::cli_result refused = make("one");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(
      refused.err.find("one holds the suite of another suite file (its suite.json differs from "),
      std::string::npos);
  const testing::cli_result forced = make("one", {"--force"});
  EXPECT_EQ(forced.out.substr(0, 44), "worked-demo: 1 set made, 6 kept from before;");
  ASSERT_EQ(make("fresh").status, 0);
  EXPECT_EQ(tree(folder_ / "one"), tree(folder_ / "fresh"));

  // Bounds that no run meets (minarea 31 > maxarea 30): given up, nothing written.
  folder_.write("hopeless.json",
                R"({"suite": "h", "complete": true, "seeds": {"first": 1, "count": 1},
    "classes": [{"name": "hopeless", "length": 10, "width": 10, "instances": 1,
                 "item_types": 1, "lower": "0.3", "upper": "0.3"}]})");
  const testing::cli_result hopeless = sheetkit(
      {"suite", "make", (folder_ / "hopeless.json").string(), "-o", (folder_ / "h").string()});
  EXPECT_EQ(hopeless.status, 1);
  EXPECT_EQ(hopeless.err,
            "sheetkit: suite make: class \"hopeless\": the runs of 1000 seeds in a row, 1 to 1000, "
            "end in the repair "
            "abort; widen the bounds or change the object\n");
  EXPECT_FALSE(fs::exists(folder_ / "h"));

  // A set folder that make did not write is not taken for one, nor replaced.
  fs::remove_all(folder_ / "one/worked/s3");
  fs::create_directories(folder_ / "one/worked/s3");
  const testing::cli_result foreign = make("one");
  EXPECT_EQ(foreign.status, 2);
  EXPECT_EQ(foreign.err,
            "sheetkit: suite make: " + dir +
                "/one/worked/s3: not a set made from this suite file's answers; remove it, "
                "or give --force to make it again\n");
}

// Nothing outside DIR is touched through a link in it, and a folder that
// merely holds a copy of the suite file among other files is no suite.
TEST_F(SuiteMake, NeverThroughALinkNorOverFilesItDidNotWrite) {
  ASSERT_EQ(make("one").status, 0);
  const auto made = tree(folder_ / "one");
  fs::create_directories(folder_ / "V/s1");
  folder_.write("V/s1/thesis.tex", "mine");
  const std::string dir = (folder_ / "one").string();
  const struct {
    const char* link;
    const char* to;
  } links[] = {{"worked", "../V"},
               {"worked/s2", "../../V/s1"},
               {"worked/s2/.done", "/dev/zero"},
               {"manifest.tsv", "../V/s1/thesis.tex"}};
  for (const auto& l : links) {
    fs::remove_all(folder_ / "one");
    ASSERT_EQ(make("one").status, 0);
    fs::remove_all(folder_ / "one" / l.link);
    fs::create_symlink(l.to, folder_ / "one" / l.link);
    const testing::cli_result refused = make("one", {"--force"});
    EXPECT_EQ(refused.status, 2) << l.link;
    EXPECT_EQ(refused.err, "sheetkit: suite make: " + dir + "/" + l.link +
                               ": a link; make never deletes, renames or writes through one in a "
                               "suite: put the folder or file itself there, or remove the link\n");
    EXPECT_EQ(tree(folder_ / "V").size(), 2u) << l.link;
    EXPECT_EQ(folder_.read("V/s1/thesis.tex"), "mine");
  }

  // A copy of the suite file beside files of the user's.
  for (const char* theirs : {"index.html", "SHA256SUMS"}) {
    fs::create_directories(folder_ / "P");
    folder_.write("P/suite.json", testing::suite_json_text);
    folder_.write(std::string("P/") + theirs, "mine");
    const testing::cli_result refused = make("P");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "sheetkit: suite make: " + (folder_ / "P").string() +
                               ": holds files but no suite; give a new or empty folder\n");
    EXPECT_EQ(folder_.read(std::string("P/") + theirs), "mine");
    fs::remove_all(folder_ / "P");
  }
  // What a make killed early leaves is taken up again.
  fs::create_directories(folder_ / "early/worked");  // a class folder before its sets
  folder_.write("early/suite.json", testing::suite_json_text);
  ASSERT_EQ(make("early").status, 0);
  EXPECT_EQ(tree(folder_ / "early"), made);
}

// One make at a time in DIR, one per shard; a lock whose holder is gone
// is taken over.
TEST_F(SuiteMake, AnotherMakeInTheFolderIsNamedAndAStaleLockTakenOver) {
  const fs::path dir = folder_ / "one";
  fs::create_directories(dir);
  const std::string pid = std::to_string(::getpid());
  folder_lock::taken by;
  {
    std::optional<folder_lock> whole = folder_lock::take(dir / ".make.lock", false, by);
    ASSERT_TRUE(whole);
    const testing::cli_result refused = make("one");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "sheetkit: suite make: another make is running in " + dir.string() +
                               " (pid " + pid + "); wait for it to end\n");
    EXPECT_EQ(make("one", {"--shard", "1/2"}).status, 1);
  }
  {
    // Shard 1 of 2 at work: shard 2 runs beside it, the whole suite waits.
    std::optional<folder_lock> shared = folder_lock::take(dir / ".make.lock", true, by);
    std::optional<folder_lock> own = folder_lock::take(dir / ".make-1-of-2.lock", false, by);
    ASSERT_TRUE(shared && own);
    EXPECT_EQ(make("one", {"--shard", "2/2"}).status, 0);
    const testing::cli_result same = make("one", {"--shard", "1/2"});
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.err, "sheetkit: suite make: another make is running in " + dir.string() +
                            " (pid " + pid + "); wait for it to end, or give another shard\n");
    EXPECT_EQ(make("one").status, 1);
  }
  // Left by a make killed on its way: no process holds them.
  folder_.write("one/.make.lock", "    4194999\n");
  folder_.write("one/.make-1-of-2.lock", "    4194999\n");
  const testing::cli_result taken_over = make("one");
  EXPECT_EQ(taken_over.status, 0) << taken_over.err;
  ASSERT_EQ(make("fresh").status, 0);
  EXPECT_EQ(tree(dir), tree(folder_ / "fresh"));
}

// Where manifest.tsv stands the suite is complete, its page included.
TEST_F(SuiteMake, TheManifestComesLast) {
  ASSERT_EQ(make("one").status, 0);
  // A set's file spoilt since it was made: its .done no longer describes
  // it, so make refuses to keep it, and seals no manifest over it.
  folder_.write("one/sheet/s0/instances.txt", "not an instance file\n");
  fs::remove(folder_ / "one/manifest.tsv");
  const testing::cli_result failed = make("one");
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.err.find("sheet/s0: its .done does not describe its instances.txt"),
            std::string::npos)
      << failed.err;
  EXPECT_FALSE(fs::exists(folder_ / "one/manifest.tsv"));
}

TEST_F(SuiteMake, AClassNamedAsASuiteFileIsRefusedBeforeAnythingIsWritten) {
  std::string text = testing::suite_json_text;
  text.replace(text.find("\"sheet\""), 7, "\"index.html\"");
  folder_.write("suite.json", text);
  const testing::cli_result refused = make("one");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.rfind("sheetkit: suite make: " + suite() +
                                  ":6:12: class \"index.html\", name: \"index.html\" is the name",
                              0),
            0u)
      << refused.err;
  EXPECT_FALSE(fs::exists(folder_ / "one"));
}

}  // namespace
}  // namespace sheetkit
