// sheetgen.Run's core: a run's answers, checked by the library, and the
// run generated from them in memory or into its files.
#ifndef SHEETGEN_PYTHON_RUN_BINDING_H_
#define SHEETGEN_PYTHON_RUN_BINDING_H_

#include <pybind11/pybind11.h>

namespace sheetgen::python {

// Adds the classes Run and InstanceIterator to `m`.
void define_run(pybind11::module_& m);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_RUN_BINDING_H_
