#include "formats/export.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bytes_of.h"
#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::replay;
using testing::worked_instances;
using testing::worked_run;

namespace fs = std::filesystem;

using testing::bytes_of;

// A fresh folder of its own for each test.
class ExportFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sheetkit_export_" + std::to_string(std::random_device()()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

constexpr const char* worked_json =
    "{\"format_version\":2,\n\"object\":{\"length\":10,\"width\":10},\n"
    "\"answers\":{\"instances\":2,\"item_types\":4,\"lower\":\"0.1\",\"upper\":\"0.2\","
    "\"min_area\":10,\"max_area\":20,\"defects\":[[3,2],[10,1]],\"seed\":19},\n"
    "\"instances\":[\n"
    "{\"items\":[[3,5,15],[2,8,16],[7,2,14],[8,2,16]],\"defects\":[[7,0,10,2],[0,6,10,7]]},\n"
    "{\"items\":[[3,6,18],[7,2,14],[2,9,18],[2,5,10]],\"defects\":[[1,0,4,2],[0,4,10,5]]}\n"
    "]}\n";

TEST(ExportJson, WorkedExampleReadsBack) {
  const auto instances = worked_instances();
  std::ostringstream out;
  export_json(worked_run(), replay(instances), out);
  EXPECT_EQ(out.str(), worked_json);

  const auto doc = nlohmann::json::parse(out.str());
  ASSERT_EQ(doc["instances"].size(), 2u);
  EXPECT_EQ(doc["instances"][1]["items"][3], nlohmann::json({2, 5, 10}));
  EXPECT_EQ(doc["instances"][1]["defects"][1], nlohmann::json({0, 4, 10, 5}));
}

TEST(ExportJson, LinesHoldTheSameRunOneInstanceEach) {
  const auto instances = worked_instances();
  std::ostringstream out;
  export_jsonl(worked_run(), replay(instances), out);
  EXPECT_EQ(out.str(),
            "{\"format_version\":2,\"object\":{\"length\":10,\"width\":10},\"answers\":{"
            "\"instances\":2,\"item_types\":4,\"lower\":\"0.1\",\"upper\":\"0.2\","
            "\"min_area\":10,\"max_area\":20,"
            "\"defects\":[[3,2],[10,1]],\"seed\":19}}\n"
            "{\"instance\":1,\"items\":[[3,5,15],[2,8,16],[7,2,14],[8,2,16]],"
            "\"defects\":[[7,0,10,2],[0,6,10,7]]}\n"
            "{\"instance\":2,\"items\":[[3,6,18],[7,2,14],[2,9,18],[2,5,10]],"
            "\"defects\":[[1,0,4,2],[0,4,10,5]]}\n");

  // Line for line what the one document holds, whatever the run.
  std::vector<instance> odd(2);  // numbered as in a file that starts later
  odd[0].number = 7;
  odd[1].number = 8;
  for (int32_t k = 1; k < 300000; k += 3) odd[1].items.push_back(rectangle::of(k, 2));
  run_info bare;
  bare.object = rectangle::of(2, 3);
  const std::vector<const std::vector<instance>*> passes = {&instances, &odd};
  for (const run_info& run : {worked_run(), bare}) {
    for (const std::vector<instance>* pass : passes) {
      std::ostringstream document, lines;
      export_json(run, replay(*pass), document);
      export_jsonl(run, replay(*pass), lines);
      const auto whole = nlohmann::json::parse(document.str());
      std::istringstream in(lines.str());
      std::string line;
      ASSERT_TRUE(std::getline(in, line));
      EXPECT_EQ(nlohmann::json::parse(line),
                nlohmann::json({{"format_version", whole["format_version"]},
                                {"object", whole["object"]},
                                {"answers", whole["answers"]}}));
      std::size_t k = 0;
      for (; std::getline(in, line); ++k) {
        auto one = nlohmann::json::parse(line);
        EXPECT_EQ(one["instance"], (*pass)[k].number);
        one.erase("instance");
        EXPECT_EQ(one, whole["instances"][k]);
      }
      EXPECT_EQ(k, pass->size());
    }
  }
}

TEST(ExportJson, WithoutAnswersAndEmptyBlocks) {
  run_info run;
  run.object = rectangle::of(2, 3);
  std::ostringstream none;
  export_json(run, replay({}), none);
  EXPECT_EQ(none.str(),
            "{\"format_version\":2,\n\"object\":{\"length\":2,\"width\":3},\n\"answers\":null,\n"
            "\"instances\":[\n]}\n");
  EXPECT_TRUE(nlohmann::json::parse(none.str())["instances"].empty());

  std::vector<instance> empty(2);
  std::ostringstream out;
  export_json(run, replay(empty), out);
  const auto doc = nlohmann::json::parse(out.str());
  EXPECT_EQ(doc["instances"][1], nlohmann::json::parse(R"({"items":[],"defects":[]})"));

  // A bound whose shortest text needs all its digits still reads back, as
  // the dialogue reads its text, to the same float.
  run.answers.emplace();
  run.answers->minrelsize = 0.123456789f;
  std::ostringstream odd;
  export_json(run, replay({}), odd);
  const std::string lower = nlohmann::json::parse(odd.str())["answers"]["lower"];
  float back = 0;
  std::from_chars(lower.data(), lower.data() + lower.size(), back);
  EXPECT_EQ(back, 0.123456789f);
}

TEST(ExportJson, LargeRunGoesOutInPieces) {
  // Several MiB of items pass through the buffer more than once.
  std::vector<instance> big(3);
  for (int i = 0; i < 3; ++i) {
    big[i].number = i + 1;
    for (int32_t k = 0; k < 100000; ++k) big[i].items.push_back(rectangle::of(k, 7));
  }
  std::ostringstream out;
  export_json(run_info{}, replay(big), out);
  const auto doc = nlohmann::json::parse(out.str());
  ASSERT_EQ(doc["instances"].size(), 3u);
  EXPECT_EQ(doc["instances"][2]["items"].size(), 100000u);
  EXPECT_EQ(doc["instances"][2]["items"][99999], nlohmann::json({99999, 7, 699993}));
}

TEST_F(ExportFolder, JsonWriteFailuresAreReported) {
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_THROW(export_json(worked_run(), replay({}), broken), sheetgen::error);

  const fs::path missing = dir_ / "no such folder" / "run.json";
  try {
    export_json(worked_run(), replay({}), missing);
    ADD_FAILURE() << "no error";
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(std::string(e.what()),
              missing.string() + ": cannot be written: No such file or directory");
  }
  const auto instances = worked_instances();
  export_json(worked_run(), replay(instances), dir_ / "run.json");
  EXPECT_EQ(bytes_of(dir_ / "run.json"), worked_json);

  // A run that fails on the way (a file cut short) leaves the earlier
  // document whole, and no half of the new one.
  const instance_pass failing = [&](const auto& visit) {
    visit(instances[0]);
    throw sheetgen::error("instances.txt:7: file ends in the middle of a line");
  };
  EXPECT_THROW(export_json(worked_run(), failing, dir_ / "run.json"), sheetgen::error);
  EXPECT_EQ(bytes_of(dir_ / "run.json"), worked_json);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
}

TEST_F(ExportFolder, PackingSolverWorkedExample) {
  const auto instances = worked_instances();
  export_packingsolver(worked_run(), replay(instances), dir_ / "ps");
  const fs::path one = dir_ / "ps" / "instance_1";
  const fs::path two = dir_ / "ps" / "instance_2";
  EXPECT_EQ(
      bytes_of(one / "items.csv"),
      "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n3,5,15,1,1\n2,8,16,1,1\n7,2,14,1,1\n8,2,16,1,1\n");
  EXPECT_EQ(bytes_of(one / "bins.csv"), "WIDTH,HEIGHT,COPIES\n10,10,1\n");
  EXPECT_EQ(bytes_of(one / "defects.csv"), "BIN,X,Y,WIDTH,HEIGHT\n0,7,0,3,2\n0,0,6,10,1\n");
  EXPECT_EQ(
      bytes_of(two / "items.csv"),
      "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n3,6,18,1,1\n7,2,14,1,1\n2,9,18,1,1\n2,5,10,1,1\n");
  EXPECT_EQ(bytes_of(two / "bins.csv"), "WIDTH,HEIGHT,COPIES\n10,10,1\n");
  EXPECT_EQ(bytes_of(two / "defects.csv"), "BIN,X,Y,WIDTH,HEIGHT\n0,1,0,3,2\n0,0,4,10,1\n");
}

TEST_F(ExportFolder, PackingSolverWithoutDefectsAndFailures) {
  std::vector<instance> plain(1);
  plain[0].number = 12;
  plain[0].items = {rectangle::of(2, 3)};
  export_packingsolver(run_info{}, replay(plain), dir_);
  EXPECT_EQ(bytes_of(dir_ / "instance_12" / "defects.csv"), "BIN,X,Y,WIDTH,HEIGHT\n");
  EXPECT_EQ(bytes_of(dir_ / "instance_12" / "items.csv"),
            "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n2,3,6,1,1\n");

  // The target is a file, not a folder.
  std::ofstream(dir_ / "taken").put('x');
  try {
    export_packingsolver(run_info{}, replay(plain), dir_ / "taken");
    ADD_FAILURE() << "no error";
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(std::string(e.what()),
              (dir_ / "taken" / "instance_12").string() + ": cannot be created: Not a directory");
  }
  // A file that cannot be opened for writing.
  fs::create_directories(dir_ / "blocked" / "instance_12" / "bins.csv");
  try {
    export_packingsolver(run_info{}, replay(plain), dir_ / "blocked");
    ADD_FAILURE() << "no error";
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(std::string(e.what()), (dir_ / "blocked" / "instance_12" / "bins.csv").string() +
                                         ": cannot be written: Is a directory");
  }
}

}  // namespace
}  // namespace sheetkit
