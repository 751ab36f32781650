#include "solutions/export_contract.h"

#include <gtest/gtest.h>
#include <sheetgen/types.h>

#include <filesystem>
#include <fstream>

#include "solutions/claims.h"
#include "solver_certificates.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;

TEST(ExportContract, TheExportIsHeldToOurFilesAndGivesItsRules) {
  const testing::solver_instance glass;
  const fs::path dir = fs::temp_directory_path() / "export_contract_test";
  fs::remove_all(dir);
  fs::copy(testing::solver_data("export/instance_1"), dir);
  const export_contract ok = read_export_contract(dir, glass.view());
  EXPECT_TRUE(ok.differences.empty());
  EXPECT_EQ(ok.copies, std::vector<int64_t>(25, 1));
  EXPECT_EQ(ok.rotation, std::vector<bool>(25, false));

  // Defect 1 moved, a bin of another size, a defect too many.
  std::ofstream(dir / "defects.csv")
      << "BIN,X,Y,WIDTH,HEIGHT\n0,1492,1920,150,90\n0,134,3000,400,30\n"
         "0,4969,1120,25,25\n0,1,1,1,1\n";
  std::ofstream(dir / "bins.csv") << "WIDTH,HEIGHT,COPIES\n6000,3200,1\n";
  const export_contract stale = read_export_contract(dir, glass.view());
  ASSERT_EQ(stale.differences.size(), 3u);
  EXPECT_EQ(stale.differences[0].substr(stale.differences[0].find("bins.csv")),
            "bins.csv: not the one bin 6000,3210,1 of the object; the export is not of these files "
            "(stale, or changed since)");
  EXPECT_NE(stale.differences[1].find("defects.csv:3: defect 2 (ID 1 in defects.csv) is not ours "
                                      "(x 134 to 534, y 3027 to 3057)"),
            std::string::npos);
  EXPECT_NE(stale.differences[2].find(
                "defects.csv:5: defect 4 (ID 3 in defects.csv) is not ours: the instance has 3"),
            std::string::npos);

  std::ofstream(dir / "items.csv") << "WIDTH,HEIGHT,PROFIT,COPIES\n";
  EXPECT_THROW(read_export_contract(dir, glass.view()), sheetgen::error);
  fs::remove_all(dir);
}

TEST(Claims, FiguresTheCertificateDoesNotShowAreViolations) {
  const testing::solver_instance glass;
  const solution s = testing::read_text(
      testing::file_text(testing::solver_data("export/instance_1/rectangle_solution.csv")));
  solution_report r = check_solution(glass.view(), s, {});
  const solution_claims right =
      read_claims(testing::solver_data("export/instance_1/rectangle_output.json"));
  check_claims(right, s, r, 20);
  EXPECT_TRUE(r.feasible());
  solution_claims wrong = right;
  wrong.item_profit = 10114827.0;
  wrong.bins = 2;
  check_claims(wrong, s, r, 20);
  EXPECT_EQ(r.lines(), (std::vector<std::string>{
                           wrong.file + ": ItemProfit 10114827, where solution.csv shows 10114826",
                           wrong.file + ": NumberOfBins 2, where solution.csv shows 1"}));
}

}  // namespace
}  // namespace sheetkit
