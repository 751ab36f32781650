#include <gtest/gtest.h>
#include <sheetgen/run_reader.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::line;

// Each block pair as "ITEMS+DEFECTS@ITEM_LINE,DEFECT_LINE", then where the
// files ended, or the error: read through streams and again from files by
// name (mapped), which must tell the same.
std::string read_run(const std::string& items, const std::string* defects) {
  const auto read = [&](run_reader& reader) {
    std::vector<rectangle> item_block;
    std::vector<placed_defect> defect_block{{1, 2, 3, 4}};  // emptied without a defect file
    std::string seen;
    const std::string message = testing::message_of([&] {
      while (reader.next(item_block, defect_block)) {
        seen += std::to_string(item_block.size()) + "+" + std::to_string(defect_block.size()) +
                "@" + std::to_string(reader.item_line()) + "," +
                std::to_string(reader.defect_line()) + " ";
      }
      seen += "end " + std::to_string(reader.instances()) + " " +
              std::to_string(reader.item_end_line()) + "," +
              std::to_string(reader.defect_end_line());
    });
    return message == "(no error)" ? seen : seen + message;
  };
  std::istringstream item_in(items);
  std::istringstream defect_in(defects ? *defects : "");
  run_reader streams(item_in, "i", defects ? &defect_in : nullptr, "d");
  const std::string streamed = read(streams);
  testing::scratch_folder folder;
  folder.write("i", items);
  if (defects) folder.write("d", *defects);
  testing::read_by_mapping();
  run_reader files(folder / "i", "i", defects ? folder / "d" : std::filesystem::path(), "d");
  const std::string mapped = read(files);
  return mapped == streamed ? streamed : "stream: " + streamed + "\nmapped: " + mapped;
}

TEST(RunReader, ReadsBothFilesInStepOrTheItemsAlone) {
  // Appended, not added up: g++ 12 warns falsely (-Wrestrict) on "\n" + std::string.
  std::string items = line({3, 5, 15});
  items.append("\n\n").append(line({2, 8, 16})).append("\n");
  std::string defects = "\n";
  defects.append(line({7, 0, 10, 2})).append(line({1, 0, 4, 2})).append("\n\n");
  EXPECT_EQ(read_run(items, &defects), "1+0@1,1 0+2@3,2 1+0@4,5 end 3 6,6");
  EXPECT_EQ(read_run(items, nullptr), "1+0@1,0 0+0@3,0 1+0@4,0 end 3 6,1");
  const std::string fewer = "\n";
  EXPECT_EQ(read_run(items, &fewer),
            "1+0@1,1 d:2: file ends after 1 block, but i has more (block 2 starts on its line 3)");
}

}  // namespace
}  // namespace sheetgen
