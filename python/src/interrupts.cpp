#include "interrupts.h"

#include <pybind11/pybind11.h>

namespace sheetgen::python {

void interrupt_check::poll(std::chrono::steady_clock::time_point now) {
  next_ = now + std::chrono::milliseconds(100);
  pybind11::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
}

}  // namespace sheetgen::python
