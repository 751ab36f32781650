#include "formats/field_exports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "bytes_of.h"
#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::bytes_of;
using testing::replay;
using testing::worked_instances;
using testing::worked_run;

namespace fs = std::filesystem;

class FieldExportFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sheetkit_field_export_" + std::to_string(std::random_device()()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FieldExportFolder, RoadefWorkedExample) {
  field_export_rules rules;
  rules.rotation = true;
  export_roadef2018(worked_run(), replay(worked_instances()), dir_, rules);
  EXPECT_EQ(bytes_of(dir_ / "instance_2" / "batch.csv"),
            "ITEM_ID;LENGTH_ITEM;WIDTH_ITEM;STACK;SEQUENCE\n0;3;6;0;1\n1;7;2;1;1\n2;2;9;2;1\n"
            "3;2;5;3;1\n");
  EXPECT_EQ(bytes_of(dir_ / "instance_1" / "defects.csv"),
            "DEFECT_ID;PLATE_ID;X;Y;WIDTH;HEIGHT\n0;0;7;0;3;2\n1;0;0;6;10;1\n");
  EXPECT_EQ(bytes_of(dir_ / "instance_1" / "global_param.csv"),
            "NAME;VALUE\nnPlates;1\nwidthPlates;10\nheightPlates;10\nminXX;1\nmaxXX;10\n"
            "minYY;1\nminWaste;1\n");

  // Unlimited copies: as many as can fit. 3 x 5 turned or not in 84 of
  // area: 5; 2 x 8: 5; 7 x 2: 6; 8 x 2: 5.
  rules.copies = -1;
  fs::remove_all(dir_);
  export_roadef2018(worked_run(), replay(worked_instances()), dir_, rules);
  const std::string batch = bytes_of(dir_ / "instance_1" / "batch.csv");
  EXPECT_EQ(std::count(batch.begin(), batch.end(), '\n'), 1 + 5 + 5 + 6 + 5);
  EXPECT_NE(batch.find("\n20;8;2;20;1\n"), std::string::npos);
}

TEST_F(FieldExportFolder, PackLibWithItsDefectsBeside) {
  field_export_rules rules;
  rules.copies = 3;
  export_2dpacklib(worked_run(), replay(worked_instances()), dir_, rules);
  EXPECT_EQ(bytes_of(dir_ / "instance_1.ins2D"),
            "4\n10 10\n1 3 5 0 3 15\n2 2 8 0 3 16\n3 7 2 0 3 14\n4 8 2 0 3 16\n");
  EXPECT_EQ(bytes_of(dir_ / "instance_2.defects"), "2\n1 1 0 3 2\n2 0 4 10 1\n");
}

TEST(FieldExports, RefusedUnlessDropped) {
  field_export_rules rules;
  EXPECT_EQ(cannot_carry("2dpacklib", rules).size(), 0u);
  EXPECT_EQ(refusal("roadef2018", rules),
            "roadef2018 cannot carry items that must not be turned (the challenge turns any "
            "item); give --drop to write the instances without it");
  rules.values_beyond_area = true;
  EXPECT_EQ(cannot_carry("roadef2018", rules).size(), 2u);
  EXPECT_NE(refusal("roadef2018", rules).find("turned (the challenge turns any item) and values"),
            std::string::npos);
  rules.rotation = true;
  EXPECT_NE(refusal("2dpacklib", rules).find("rotation"), std::string::npos);
  rules.drop = true;
  EXPECT_EQ(refusal("2dpacklib", rules), "");
  // Nothing is written before the refusal.
  rules.drop = false;
  const fs::path nowhere = fs::temp_directory_path() / "sheetkit_refused_export_never_made";
  EXPECT_THROW(export_2dpacklib(worked_run(), replay(worked_instances()), nowhere, rules),
               sheetgen::error);
  EXPECT_FALSE(fs::exists(nowhere));
}

TEST(FieldExports, PackingSolverParameters) {
  packingsolver_parameters p;
  p.number_of_stages = 2;
  p.cut_type = "exact";
  p.first_stage_orientation = "vertical";
  p.cut_through_defects = true;
  EXPECT_EQ(packingsolver_parameters_csv(p),
            "NAME,VALUE\nobjective,knapsack\nnumber_of_stages,2\ncut_type,exact\n"
            "first_stage_orientation,vertical\ncut_thickness,0\nminimum_waste_length,1\n"
            "cut_through_defects,1\n");
}

}  // namespace
}  // namespace sheetkit
