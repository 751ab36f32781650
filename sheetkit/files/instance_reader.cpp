#include "files/instance_reader.h"

#include <fstream>

#include "files/files.h"

namespace sheetkit {

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
    std::ifstream items = open_input(instance_file);
    std::ifstream defects;
    if (!defect_file.empty()) defects = open_input(defect_file);
    instance_reader reader(items, instance_file, defect_file.empty() ? nullptr : &defects, defect_file);
    instance one;
    while (reader.next(one)) visit(one);
  };
}

}  // namespace sheetkit
