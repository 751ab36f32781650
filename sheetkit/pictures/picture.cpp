#include "pictures/picture.h"

#include <sheetgen/types.h>

#include <algorithm>

namespace sheetkit {

void run_summary::add(const instance& inst) {
  ++instances;
  items += static_cast<int64_t>(inst.items.size());
  defects += static_cast<int64_t>(inst.defects.size());
  for (const auto& r : inst.items) {
    min_area = std::min<int64_t>(min_area, r.area);
    max_area = std::max<int64_t>(max_area, r.area);
    max_length = std::max<int64_t>(max_length, r.length);
    max_width = std::max<int64_t>(max_width, r.width);
  }
  for (const auto& d : inst.defects)
    defect_area +=
        static_cast<double>(int64_t{d.x2} - d.x1) * static_cast<double>(int64_t{d.y2} - d.y1);
}

void run_summary::add(const run_summary& other) {
  instances += other.instances;
  items += other.items;
  defects += other.defects;
  min_area = std::min(min_area, other.min_area);
  max_area = std::max(max_area, other.max_area);
  max_length = std::max(max_length, other.max_length);
  max_width = std::max(max_width, other.max_width);
  defect_area += other.defect_area;
}

object_sides::object_sides(const run_info& run)
    : length(run.object.length), width(run.object.width) {
  if (length <= 0 || width <= 0)
    throw sheetgen::error("Cannot draw an object of " + size_text(length, width) + "!");
}

std::string size_text(int64_t length, int64_t width) {
  return std::to_string(length) + " \xC3\x97 " + std::to_string(width);
}

}  // namespace sheetkit
