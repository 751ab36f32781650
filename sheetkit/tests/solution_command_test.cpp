// solution check and draw, and export's solver rules, as a user runs them
// on the real solver certificates in data/solver/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_sheetkit.h"
#include "solver_certificates.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;
using testing::solver_data;

class SolutionCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("solution_command_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy(solver_data("export"), dir_ / "export", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<std::string> run(std::vector<std::string> args) const {
    for (const std::string& a : {std::string("--object"), std::string("6000x3210"),
                                 solver_data("instances.txt"), solver_data("defects.txt")})
      args.push_back(a);
    return args;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  fs::path dir_;
};

TEST_F(SolutionCommand, AnExportFolderIsHeldToItsContractAndTheSolversClaims) {
  const std::string folder = path("export");
  auto ok = sheetkit(run({"solution", "check", folder, "--certificate", "rectangle_solution.csv",
                          "--claims", "rectangle_output.json"}));
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("instance 1: " + folder +
                        "/instance_1/rectangle_solution.csv: feasible; 25 items"),
            std::string::npos)
      << ok.out;

  // A stale export: item type 3's row no longer ours.
  const std::string items = testing::file_text(path("export/instance_1/items.csv"));
  write("export/instance_1/items.csv", testing::with_line(items, 5, "598,655,391690,1,1"));
  auto stale =
      sheetkit(run({"solution", "check", folder, "--certificate", "rectangle_solution.csv"}));
  EXPECT_EQ(stale.status, 1);
  EXPECT_NE(stale.out.find(
                folder + "/instance_1/items.csv:5: item type 3 is 598 x 655 (PROFIT 391690) here, "
                         "598 x 654 (area 391092) in ours; the export is not of these files"),
            std::string::npos)
      << stale.out;
  write("export/instance_1/items.csv", items);

  // The solver's claims held to the certificate: one item fewer claimed.
  const std::string claims = testing::file_text(path("export/instance_1/rectangle_output.json"));
  std::string fewer = claims;
  fewer.replace(fewer.rfind("\"NumberOfItems\": 25"), 19, "\"NumberOfItems\": 24");
  write("export/instance_1/rectangle_output.json", fewer);
  auto claimed = sheetkit(run({"solution", "check", folder, "--certificate",
                               "rectangle_solution.csv", "--claims", "rectangle_output.json"}));
  EXPECT_EQ(claimed.status, 1);
  EXPECT_NE(claimed.out.find("rectangle_output.json: NumberOfItems 24, where " + folder +
                             "/instance_1/rectangle_solution.csv shows 25"),
            std::string::npos)
      << claimed.out;

  // No certificate by that name: the instance has no solution.
  auto none = sheetkit(run({"solution", "check", folder}));
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("instance 1: no solution: " + folder +
                          "/instance_1/solution.csv: No such file or directory"),
            std::string::npos)
      << none.out;
  // The folder's items.csv sets the rules: --copies would contradict it.
  EXPECT_EQ(sheetkit(run({"solution", "check", folder, "--copies", "2"})).status, 2);
}

TEST_F(SolutionCommand, PlacementFilesForTheRunAndWhatLiesBeyondIt) {
  write("run.csv", "instance,item_type,x,y,rotated\n1,0,0,0,0\n1,0,100,0,0\n2,1,0,0,0\n");
  auto r = sheetkit(run({"solution", "check", path("run.csv"), "--format", "csv"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("1," + path("run.csv") + ",0,2,2,1,"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(path("run.csv") + ":4: instance 2, beyond the run's 1 instance"),
            std::string::npos)
      << r.err;
  write("one.csv", "instance,item_type,x,y,rotated\n1,0,0,0,0\n1,2,449,0,1\n");
  auto turned = sheetkit(run({"solution", "check", path("one.csv"), "--rotation"}));
  EXPECT_EQ(turned.status, 0) << turned.out << turned.err;
}

TEST_F(SolutionCommand, ExportWritesTheSolverRulesAndLeavesTheDefaultAsItWas) {
  const std::vector<std::string> object = {"--object", "6000x3210", solver_data("instances.txt"),
                                           solver_data("defects.txt")};
  auto plain = sheetkit({"export", "--to", "packingsolver", "-o", path("plain"), object[0],
                         object[1], object[2], object[3]});
  ASSERT_EQ(plain.status, 0) << plain.err;
  // The stored export, which the solver read, was made before these options.
  EXPECT_EQ(testing::file_text(path("plain/instance_1/items.csv")),
            testing::file_text(solver_data("export/instance_1/items.csv")));
  auto free = sheetkit({"export", "--to", "packingsolver", "-o", path("free"), "--copies",
                        "unlimited", "--rotation", object[0], object[1], object[2], object[3]});
  ASSERT_EQ(free.status, 0) << free.err;
  // Item type 0, 449 x 837 = 375813: at most ceil(19260000 / 375813) = 52 fit by area.
  EXPECT_EQ(testing::file_text(path("free/instance_1/items.csv")).substr(0, 76),
            "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n449,837,375813,52,0\n579,155,89745,215,0\n");
  EXPECT_EQ(sheetkit({"export", "--to", "json", "-o", "-", "--rotation", object[0], object[1],
                      object[2], object[3]})
                .status,
            2);
}

}  // namespace
}  // namespace sheetkit

namespace sheetkit {
namespace {

// Hostile names and claims: every one a message naming its file, never a
// cut document or a library's exception.
TEST_F(SolutionCommand, HostileNamesAndClaimsGetMessagesNamingTheFile) {
  const std::string certificate =
      testing::file_text(solver_data("export/instance_1/rectangle_solution.csv"));
  // A name that is not UTF-8: the JSON document is whole, the verdict feasible.
  const std::string odd = path("caf\xe9.csv");
  write("caf\xe9.csv", certificate);
  const auto json = sheetkit(run({"solution", "check", odd, "--json"}));
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("caf\xef\xbf\xbd.csv"), std::string::npos) << json.out;
  EXPECT_EQ(json.out.back(), '\n');
  EXPECT_EQ(json.out.rfind("{\"format_version\": 2, \"instances\": [", 0), 0u) << json.out;

  // --claims naming a folder: its name and what it is.
  const auto folder = sheetkit(run({"solution", "check", odd, "--claims", dir_.string()}));
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.out.find(dir_.string() + ": a folder"), std::string::npos) << folder.out;

  // A claim past 64 bits is quoted as the file says it.
  write("claims.json",
        R"({"Output": {"Solution": {"NumberOfItems": 18446744073709551615, "NumberOfBins": 1}}})");
  const auto claims = sheetkit(run({"solution", "check", odd, "--claims", path("claims.json")}));
  EXPECT_EQ(claims.status, 1);
  EXPECT_NE(claims.out.find("NumberOfItems 18446744073709551615, where"), std::string::npos)
      << claims.out;
}

}  // namespace
}  // namespace sheetkit

#include <sys/stat.h>

#include <thread>

namespace sheetkit {
namespace {

// Every solution file is read once: from a pipe, it is judged as a file
// is; a device stops at the reader's bound; in an export folder a link or
// FIFO stands for no file of the export.
TEST_F(SolutionCommand, APipeIsReadOnceAndWhatIsNoPlainFileIsNamed) {
  const std::string certificate =
      testing::file_text(solver_data("export/instance_1/rectangle_solution.csv"));
  const std::string fifo = path("pipe.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << certificate; });
  const auto piped = sheetkit(run({"solution", "check", fifo}));
  writer.join();
  EXPECT_EQ(piped.status, 0) << piped.out << piped.err;
  EXPECT_NE(piped.out.find("instance 1: " + fifo + ": feasible; 25 items"), std::string::npos)
      << piped.out;

  const auto zero = sheetkit(run({"solution", "check", "/dev/zero"}));
  EXPECT_EQ(zero.status, 1);
  EXPECT_NE(zero.out.find("/dev/zero:1: line longer than 1024 characters"), std::string::npos)
      << zero.out;

  const fs::path items = dir_ / "export" / "instance_1" / "items.csv";
  fs::remove(items);
  fs::create_symlink("/dev/zero", items);
  const auto linked = sheetkit(
      run({"solution", "check", path("export"), "--certificate", "rectangle_solution.csv"}));
  EXPECT_EQ(linked.status, 1);
  EXPECT_NE(linked.out.find(items.string() + ": a link"), std::string::npos) << linked.out;
}

}  // namespace
}  // namespace sheetkit
