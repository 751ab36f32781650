#include "suites/suite_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "suite_example.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;
using testing::tree;

class SuiteExport : public testing::made_example {
 protected:
  testing::cli_result export_to(const fs::path& out, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"suite",         "export", dir().string(), "--to",
                                  "packingsolver", "-o",     out.string()};
    args.insert(args.end(), more.begin(), more.end());
    return sheetkit(args);
  }
};

TEST_F(SuiteExport, MirrorsTheCompletedSetsTheSameForEveryJobCount) {
  const testing::cli_result one = export_to(folder_ / "one", {"-j", "1"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out,
            "worked-demo: 7 sets exported to packingsolver, 0 kept from before\n"
            "manifest sha256: " +
                sha256_ + " (" + (folder_ / "one" / "suite.sha256").string() + ")\n");
  ASSERT_EQ(export_to(folder_ / "two", {"-j", "2"}).status, 0);
  const auto files = tree(folder_ / "one");
  EXPECT_EQ(files, tree(folder_ / "two"));
  EXPECT_EQ(files.at("suite.sha256"), sha256_ + "\n");
  // worked/s1 ends in the repair abort: not a set to solve.
  EXPECT_EQ(files.count("worked/s1"), 0u);
  EXPECT_EQ(files.at("worked/s19/.exported"),
            "sheetkit suite export --to packingsolver --copies 1\n");
  EXPECT_EQ(files.count("tight/s123/instance_30/items.csv"), 1u);
  EXPECT_EQ(files.count("tight/s60"), 0u);  // skipped
  EXPECT_EQ(files.count("tight/s68/instance_1"), 1u);

  // Each set as `export` writes its run.
  const std::string set = (dir() / "worked" / "s19").string();
  ASSERT_EQ(sheetkit({"export", "--object", "10x10", set + "/instances.txt", set + "/defects.txt",
                      "--to", "packingsolver", "-o", (folder_ / "single").string()})
                .status,
            0);
  // (but for the marker of a folder that export owns: the set has .exported)
  for (const auto& [name, bytes] : tree(folder_ / "single")) {
    if (name == ".sheetkit") continue;
    EXPECT_EQ(files.at("worked/s19/" + name), bytes) << name;
  }

  // The contract the solver is given, in every set.
  ASSERT_EQ(export_to(folder_ / "free", {"--copies", "unlimited", "--rotation"}).status, 0);
  const auto free = tree(folder_ / "free");
  EXPECT_EQ(free.at("sheet/s0/.exported"),
            "sheetkit suite export --to packingsolver --copies unlimited --rotation\n");
  EXPECT_NE(free.at("sheet/s0/instance_5/items.csv").find(",0\n"), std::string::npos);
  EXPECT_EQ(free.at("sheet/s0/instance_5/items.csv").find(",1\n"), std::string::npos);

  // json writes one document per set.
  ASSERT_EQ(sheetkit({"suite", "export", dir().string(), "--to", "jsonl", "-o",
                      (folder_ / "lines").string()})
                .status,
            0);
  EXPECT_NE(tree(folder_ / "lines").at("worked/s19/run.jsonl").find("\"object\":{\"length\":10"),
            std::string::npos);
}

TEST_F(SuiteExport, ResumesAndKeepsWhatSolversWrote) {
  const fs::path out = folder_ / "out";
  ASSERT_EQ(export_to(out, {"--shard", "1/2"}).status, 0);
  // A solver's certificate in a set done, and a set killed on its way.
  std::ofstream(out / "worked" / "s19" / "instance_1" / "rectangle.csv") << "kept\n";
  fs::create_directories(out / "sheet" / ".s0.tmp-dead" / "instance_1");
  const testing::cli_result rest = export_to(out, {"-j", "2"});
  ASSERT_EQ(rest.status, 0) << rest.err;
  EXPECT_NE(rest.out.find("3 sets exported to packingsolver, 4 kept from before"),
            std::string::npos)
      << rest.out;
  auto files = tree(out);
  EXPECT_EQ(files.at("worked/s19/instance_1/rectangle.csv"), "kept\n");
  files.erase("worked/s19/instance_1/rectangle.csv");
  ASSERT_EQ(export_to(folder_ / "whole").status, 0);
  EXPECT_EQ(files, tree(folder_ / "whole"));
}

TEST_F(SuiteExport, RefusesAFolderThatIsNotThisExport) {
  const fs::path out = folder_ / "out";
  ASSERT_EQ(export_to(out).status, 0);
  const auto before = tree(out);

  testing::cli_result r = export_to(out, {"--rotation"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("was exported as \"sheetkit suite export --to packingsolver --copies 1\", "
                       "not \"sheetkit suite export --to packingsolver --copies 1 --rotation\""),
            std::string::npos)
      << r.err;
  std::ofstream(out / "suite.sha256") << "0123\n";
  r = export_to(out);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("holds the export of another suite"), std::string::npos) << r.err;
  std::ofstream(out / "suite.sha256") << sha256_ << "\n";
  EXPECT_EQ(tree(out), before);

  fs::create_directory(folder_ / "full");
  folder_.write("full/notes.txt", "mine\n");
  r = export_to(folder_ / "full");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "sheetkit: suite export: " + (folder_ / "full").string() +
                " holds files but no export (no suite.sha256); give a new or empty folder\n");
  r = export_to(dir() / "export");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("lies inside the suite"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir() / "export"));
  EXPECT_EQ(export_to(out, {"--copies", "0"}).status, 2);
  EXPECT_EQ(sheetkit({"suite", "export", dir().string(), "--to", "json", "--rotation", "-o",
                      (folder_ / "json").string()})
                .status,
            2);
}

}  // namespace
}  // namespace sheetkit
