#include <gtest/gtest.h>
#include <sheetgen/run_files.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::scratch_folder;

std::string message_of(const run_parameters& p, const std::filesystem::path& folder) {
  try {
    write_run_files(p, folder);
  } catch (const error& e) {
    return e.what();
  }
  return "(written)";
}

// The same answers through sheetgen's dialogue and through the library
// give the same files, the repair failure's remains included.
TEST(RunFiles, WritesWhatSheetgenWrites) {
  const std::vector<testing::answers> runs = {
      testing::make(2, 10, 10, 4, "0.1", "0.2", 19, {{3, 2}, {10, 1}}),
      testing::make(3, 1000, 700, 300, "0.001", "0.1", -1),
      testing::make(0, 10, 10, 4, "0.1", "0.2", 1, {{1, 1}}),
      testing::make(50, 100, 50, 1, "0.015", "0.015", 36, {{2, 2}}),  // the repair failure
  };
  for (const testing::answers& a : runs) {
    scratch_folder by_program, by_library;
    const int status = testing::run_with(a.text(), by_program.path()).status;
    EXPECT_EQ(message_of(a.parameters(), by_library.path()) == "(written)", status == 0);
    for (const std::string name : {"instances.txt", "defects.txt"}) {
      EXPECT_EQ(by_library.has(name), by_program.has(name)) << name;
      EXPECT_EQ(by_library.read(name), by_program.read(name)) << name;
    }
  }
}

TEST(RunFiles, NamesAreCheckedBeforeAnythingIsWritten) {
  scratch_folder dir;
  dir.write("defects.txt", "kept");
  run_parameters p = testing::make(2, 10, 10, 4, "0.1", "0.2", 19, {{3, 2}}).parameters();
  p.filename = std::string(80, 'a');
  EXPECT_EQ(message_of(p, dir.path()), "File name too long (at most 79 characters)!");
  p.filename = "./defects.txt";
  EXPECT_EQ(message_of(p, dir.path()), "The defect file must differ from the instance file!");
  p.filename = "";
  EXPECT_EQ(message_of(p, dir.path()), "Missing file name!");
  p.filename = "instances.txt";
  p.no_items = 20001;  // the numbers first, as the dialogue asks them
  p.defectfilename = "instances.txt";
  EXPECT_EQ(message_of(p, dir.path()), "Please recompile code with larger MAXMOD value!\n");
  EXPECT_FALSE(dir.has("instances.txt"));
  EXPECT_EQ(dir.read("defects.txt"), "kept");

  p.no_items = 4;
  p.defectfilename = "defects.txt";
  p.filename = "missing/instances.txt";
  EXPECT_EQ(message_of(p, dir.path()), "Cannot write file missing/instances.txt!");
  EXPECT_EQ(dir.read("defects.txt"), "kept");
}

// Runs share nothing: many at once in threads write what each writes alone.
TEST(RunFiles, RunsInParallelThreads) {
  constexpr int runs = 6;
  scratch_folder alone, together;
  std::vector<run_parameters> answers;
  for (int k = 0; k < runs; ++k) {
    run_parameters p =
        testing::make(20, 500, 400, 2000, "0.001", "0.1", 100 + k, {{3, 2}, {5, 7}}).parameters();
    p.filename = "instances_" + std::to_string(k) + ".txt";
    p.defectfilename = "defects_" + std::to_string(k) + ".txt";
    write_run_files(p, alone.path());
    answers.push_back(p);
  }
  std::vector<std::thread> threads;
  for (const run_parameters& p : answers) {
    threads.emplace_back([&p, &together] { write_run_files(p, together.path()); });
  }
  for (std::thread& t : threads) t.join();
  for (const run_parameters& p : answers) {
    EXPECT_EQ(together.read(p.filename), alone.read(p.filename));
    EXPECT_EQ(together.read(p.defectfilename), alone.read(p.defectfilename));
    EXPECT_GT(alone.read(p.filename).size(), 20u * 2000u * 20u);
  }
}

}  // namespace
}  // namespace sheetgen
