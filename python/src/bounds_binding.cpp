#include "bounds_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "figures/bounds.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

using int_array = py::array_t<int64_t, py::array::c_style>;

constexpr int64_t int32_max = std::numeric_limits<int32_t>::max();
constexpr int64_t int32_min = std::numeric_limits<int32_t>::min();

[[noreturn]] void refuse(const std::string& what) { throw py::value_error(what); }

// The package's Python side has checked the shapes: (k, 2) or (k, 3)
// items, (m, 4) defects, (k,) values and copies.
py::dict bounds(const int_array& items, const int_array& defects, int64_t length, int64_t width,
                const int_array& copies, const std::optional<int_array>& values, bool rotation) {
  if (length < 1 || width < 1 || length > int32_max || width > int32_max ||
      length * width > int32_max)
    refuse("the object's sides must be positive and their product fit 32 bits, not " +
           std::to_string(length) + " x " + std::to_string(width));
  const py::ssize_t columns = items.shape(1);
  std::vector<sheetkit::rectangle> types;
  const int64_t* v = items.data();
  for (py::ssize_t k = 0; k < items.shape(0); ++k, v += columns) {
    if (v[0] < 1 || v[1] < 1 || v[0] > int32_max || v[1] > int32_max || v[0] * v[1] > int32_max)
      refuse("items row " + std::to_string(k) + ": " + std::to_string(v[0]) + " x " +
             std::to_string(v[1]) +
             " is no item type: sides are positive and their product fits 32 bits");
    if (columns == 3 && v[2] != v[0] * v[1])
      refuse("items row " + std::to_string(k) + ": area " + std::to_string(v[2]) + " is not " +
             std::to_string(v[0]) + " x " + std::to_string(v[1]));
    types.push_back(
        sheetkit::rectangle::of(static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1])));
  }
  std::vector<sheetkit::placed_defect> placed;
  const int64_t* d = defects.data();
  for (py::ssize_t k = 0; k < defects.shape(0); ++k, d += 4) {
    for (int c = 0; c < 4; ++c)
      if (d[c] < int32_min || d[c] > int32_max)
        refuse("defects row " + std::to_string(k) + ": " + std::to_string(d[c]) +
               " is past 32 bits");
    placed.push_back({static_cast<int32_t>(d[0]), static_cast<int32_t>(d[1]),
                      static_cast<int32_t>(d[2]), static_cast<int32_t>(d[3])});
  }
  const std::size_t n = types.size();
  if (static_cast<std::size_t>(copies.shape(0)) != n)
    refuse("copies must have one count per item type (" + std::to_string(n) + ")");
  if (values && static_cast<std::size_t>(values->shape(0)) != n)
    refuse("values must have one value per item type (" + std::to_string(n) + ")");
  for (std::size_t t = 0; t < n; ++t) {
    if (copies.data()[t] == 0 || copies.data()[t] < -1)
      refuse("copies[" + std::to_string(t) + "] must be >= 1, or -1 (None) for unlimited");
    if (values && values->data()[t] < 0)
      refuse("values[" + std::to_string(t) + "] must be >= 0, not " +
             std::to_string(values->data()[t]));
  }
  sheetkit::bound_input in;
  in.object = sheetkit::rectangle::of(static_cast<int32_t>(length), static_cast<int32_t>(width));
  in.items = types;
  in.defects = placed;
  in.copies = {copies.data(), n};
  if (values) in.values = {values->data(), n};
  in.rotation = rotation;
  sheetkit::instance_bounds b;
  {
    py::gil_scoped_release unlocked;
    b = sheetkit::compute_bounds(in);
  }
  // The names and order of stats --json's "upper_bounds".
  py::dict r;
  r["object_area"] = b.object_area;
  r["defect_area"] = b.defect_area;
  r["usable_area"] = b.usable_area;
  r["copies_that_fit"] = b.copies_that_fit;
  r["value_is_area"] = b.value_is_area;
  r["copies_value"] = b.copies_value;
  r["linear_relaxation"] = b.relaxation;
  r["knapsack"] = b.knapsack.value;
  r["knapsack_method"] = std::string(sheetkit::method_name(b.knapsack.method));
  r["knapsack_exact"] = b.knapsack.exact;
  r["knapsack_note"] = b.knapsack.note.empty() ? py::object(py::none()) : py::str(b.knapsack.note);
  r["best"] = b.best;
  r["best_is"] = std::string(b.best_name);
  return r;
}

}  // namespace

void define_bounds(py::module_& m) {
  m.def("bounds", &bounds, py::arg("items"), py::arg("defects"), py::arg("length"),
        py::arg("width"), py::arg("copies"), py::arg("values"), py::arg("rotation"));
}

}  // namespace sheetgen::python
