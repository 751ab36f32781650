#include "files/instance_reader.h"

#include <filesystem>

#include "files/files.h"

namespace sheetkit {

namespace {

template <class Reader>
Reader open_reader(const std::string& name) {
  try {
    return Reader(std::filesystem::path(name), name);
  } catch (const sheetgen::file_error& e) {
    throw file_error("Cannot read file", name, e.code());
  }
}

}  // namespace

sheetgen::instance_reader open_items(const std::string& name) {
  return open_reader<sheetgen::instance_reader>(name);
}

sheetgen::defect_reader open_defects(const std::string& name) {
  return open_reader<sheetgen::defect_reader>(name);
}

bool instance_reader::next(instance& out) {
  if (!reader_.next(out.items, out.defects)) return false;
  out.number = reader_.instances();
  out.item_line = reader_.item_line();
  out.defect_line = reader_.defect_line();
  return true;
}

instance_pass file_pass(const run_info& run) {
  return [instance_file = run.instance_file,
          defect_file = run.defect_file](const std::function<void(const instance&)>& visit) {
    instance_reader reader(instance_file, defect_file);
    instance one;
    while (reader.next(one)) visit(one);
  };
}

}  // namespace sheetkit
