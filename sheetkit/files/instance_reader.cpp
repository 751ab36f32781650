#include "files/instance_reader.h"

#include <sheetgen/value_file.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "files/files.h"
#include "text/text.h"

namespace sheetkit {

namespace {

template <class Reader>
Reader open_reader(const std::string& name) {
  return Reader(std::filesystem::path(name), name);
}

}  // namespace

sheetgen::instance_reader open_items(const std::string& name) {
  return open_reader<sheetgen::instance_reader>(name);
}

sheetgen::defect_reader open_defects(const std::string& name) {
  return open_reader<sheetgen::defect_reader>(name);
}

namespace {

sheetgen::run_reader open_run(const std::string& instance_name, const std::string& defect_name) {
  // The instance file first: its error is the one told when neither opens.
  sheetgen::instance_reader items = open_items(instance_name);
  std::optional<sheetgen::defect_reader> defects;
  if (!defect_name.empty()) defects.emplace(open_defects(defect_name));
  return sheetgen::run_reader(std::move(items), instance_name, std::move(defects), defect_name);
}

}  // namespace

instance_reader::instance_reader(const std::string& instance_name, const std::string& defect_name)
    : reader_(open_run(instance_name, defect_name)) {}

bool instance_reader::next(instance& out) {
  if (!reader_.next(out.items, out.defects)) return false;
  out.number = reader_.instances();
  out.item_line = reader_.item_line();
  out.defect_line = reader_.defect_line();
  return true;
}

instance_pass file_pass(const run_info& run) {
  return [instance_file = run.instance_file, defect_file = run.defect_file,
          value_file = run.value_file](const std::function<void(const instance&)>& visit) {
    instance_reader reader(instance_file, defect_file);
    instance one;
    if (value_file.empty()) {
      while (reader.next(one)) visit(one);
      return;
    }
    // A family run's values go with its item types, block by block; a
    // value file that does not hold line by line to the instance file
    // stops the pass (check lists every such problem).
    std::ifstream in = open_input(value_file);
    sheetgen::value_reader values(in, value_file);
    while (reader.next(one)) {
      if (!values.next(one.values)) {
        throw sheetgen::error(value_file + ":" + std::to_string(values.end_line()) +
                              ": file ends after " + count_of(one.number - 1, "block") +
                              ", but the instance file has more");
      }
      if (one.values.size() != one.items.size()) {
        throw sheetgen::error(value_file + ":" + std::to_string(values.block_line()) + ": block " +
                              std::to_string(one.number) + " has " +
                              count_of(static_cast<int64_t>(one.values.size()), "line") +
                              " where the instance file has " +
                              count_of(static_cast<int64_t>(one.items.size()), "item type"));
      }
      visit(one);
    }
  };
}

}  // namespace sheetkit
