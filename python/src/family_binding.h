// sheetgen.generate's core: a family run, checked by the library, whose
// instances are made on request.
#ifndef SHEETGEN_PYTHON_FAMILY_BINDING_H_
#define SHEETGEN_PYTHON_FAMILY_BINDING_H_

#include <pybind11/pybind11.h>

namespace sheetgen::python {

// Adds the class FamilyRun to `m`.
void define_family(pybind11::module_& m);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_FAMILY_BINDING_H_
