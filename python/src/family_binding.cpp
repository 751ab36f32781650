#include "family_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <sheetgen/families.h>

#include <string>
#include <utility>
#include <vector>

#include "arrays.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

py::array_t<int64_t> int64_array(const std::vector<int64_t>& values) {
  py::array_t<int64_t> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

// One instance as Python gets it: (items, defects, values, copies), new
// arrays; made without the GIL.
py::tuple instance_of(const family_run& run, int32_t number) {
  family_instance in;
  {
    py::gil_scoped_release unlocked;
    run.make(number, in);
  }
  return py::make_tuple(item_array(in.items), defect_array(in.defects), int64_array(in.values),
                        int64_array(in.copies));
}

}  // namespace

void define_family(py::module_& m) {
  py::class_<family_run>(m, "FamilyRun", "A family run; sheetgen.generate wraps it.")
      .def(py::init([](std::string family, std::vector<parameter> parameters, std::string law,
                       std::vector<parameter> law_parameters, int32_t instances, int32_t seed,
                       int32_t layer) {
             family_settings s;
             s.family = std::move(family);
             s.parameters = std::move(parameters);
             s.defects = std::move(law);
             s.defect_parameters = std::move(law_parameters);
             s.instances = instances;
             s.seed = seed;
             s.layer = layer;
             return family_run(std::move(s));
           }),
           py::arg("family"), py::arg("parameters"), py::arg("law"), py::arg("law_parameters"),
           py::arg("instances"), py::arg("seed"), py::arg("layer"))
      .def_property_readonly("instances",
                             [](const family_run& r) { return r.settings().instances; })
      .def_property_readonly("length", [](const family_run& r) { return r.object().length; })
      .def_property_readonly("width", [](const family_run& r) { return r.object().width; })
      .def_property_readonly("settings",
                             [](const family_run& r) {
                               const family_settings& s = r.settings();
                               return py::make_tuple(s.family, s.parameters, s.defects,
                                                     s.defect_parameters, s.seed, s.layer);
                             })
      .def("instance", &instance_of, py::arg("number"));
}

}  // namespace sheetgen::python
