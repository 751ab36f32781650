#include "arrays.h"

namespace sheetgen::python {

namespace py = pybind11;

py::array_t<int32_t> item_array(std::span<const rectangle> items) {
  py::array_t<int32_t> a({static_cast<py::ssize_t>(items.size()), py::ssize_t{3}});
  int32_t* out = a.mutable_data();
  // The area comes first in memory, last in the files.
  for (const rectangle& r : items) {
    *out++ = r.length;
    *out++ = r.width;
    *out++ = r.area;
  }
  return a;
}

py::array_t<int32_t> defect_array(std::span<const placed_defect> defects) {
  py::array_t<int32_t> a({static_cast<py::ssize_t>(defects.size()), py::ssize_t{4}});
  int32_t* out = a.mutable_data();
  for (const placed_defect& d : defects) {
    *out++ = d.x1;
    *out++ = d.y1;
    *out++ = d.x2;
    *out++ = d.y2;
  }
  return a;
}

}  // namespace sheetgen::python
