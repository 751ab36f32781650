// sheetgen.bounds(): the bounds of one instance, as stats gives them.
#ifndef SHEETGEN_PYTHON_BOUNDS_BINDING_H_
#define SHEETGEN_PYTHON_BOUNDS_BINDING_H_

#include <pybind11/pybind11.h>

namespace sheetgen::python {

// Adds _sheetgen.bounds to `m`.
void define_bounds(pybind11::module_& m);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_BOUNDS_BINDING_H_
