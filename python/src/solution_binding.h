// sheetgen.check_placements and sheetgen.read_solution: sheetkit's referee
// for Python, the same checks and the same messages.
#ifndef SHEETGEN_PYTHON_SOLUTION_BINDING_H_
#define SHEETGEN_PYTHON_SOLUTION_BINDING_H_

#include <pybind11/pybind11.h>

namespace sheetgen::python {

// Adds check_placements() and read_solution() to `m`.
void define_solution(pybind11::module_& m);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_SOLUTION_BINDING_H_
