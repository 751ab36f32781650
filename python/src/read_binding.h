// sheetgen.read's core: a run's files read back with the library's strict
// readers, one instance at a time.
#ifndef SHEETGEN_PYTHON_READ_BINDING_H_
#define SHEETGEN_PYTHON_READ_BINDING_H_

#include <pybind11/pybind11.h>

namespace sheetgen::python {

// Adds read() and the class FileIterator to `m`.
void define_read(pybind11::module_& m);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_READ_BINDING_H_
