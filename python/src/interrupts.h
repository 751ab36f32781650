// Long work runs without the GIL; Ctrl-C must still stop it. Every so
// often the work takes the GIL back for a moment and lets Python handle
// its signals: KeyboardInterrupt then leaves the work as an exception.
#ifndef SHEETGEN_PYTHON_INTERRUPTS_H_
#define SHEETGEN_PYTHON_INTERRUPTS_H_

#include <chrono>

namespace sheetgen::python {

class interrupt_check {
 public:
  // Call between steps, without the GIL. Throws pybind11::error_already_set
  // when a signal handler raised (KeyboardInterrupt, say).
  void operator()() {
    const auto now = std::chrono::steady_clock::now();
    if (now >= next_) poll(now);
  }

 private:
  void poll(std::chrono::steady_clock::time_point now);

  // Rarely enough that waiting for the GIL, which other threads may hold
  // for a switch interval, costs next to nothing.
  std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_INTERRUPTS_H_
