// The extension module sheetgen._sheetgen; the package's __init__.py gives
// it the interface Python users see.
#include <pybind11/pybind11.h>
#include <sheetgen/types.h>
#include <sheetgen/version.h>

#include <cerrno>
#include <exception>
#include <string>
#include <system_error>

#include "bounds_binding.h"
#include "family_binding.h"
#include "input_file.h"
#include "read_binding.h"
#include "run_binding.h"
#include "solution_binding.h"

namespace py = pybind11;

PYBIND11_MODULE(_sheetgen, m) {
  m.doc() = "libsheetgen for Python; import sheetgen, not this module.";
  m.attr("__version__") = sheetgen::version;

  // sheetgen.Error: the library's one error type, with its message as the
  // programs print it. Created once; the module keeps it alive.
  static PyObject* error_type = nullptr;
  error_type = PyErr_NewException("sheetgen.Error", PyExc_ValueError, nullptr);
  if (error_type == nullptr) throw py::error_already_set();
  m.attr("Error") = py::handle(error_type);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const sheetgen::file_error& e) {
      // What the OS said while a file was read: Python's OSError, as its
      // own reads give (errno, strerror, filename).
      // A code of another category (a streambuf's own) is no errno.
      const std::error_code c = e.code();
      const bool os =
          c.category() == std::generic_category() || c.category() == std::system_category();
      sheetgen::python::set_os_error(os && c.value() != 0 ? c.value() : EIO, e.file());
    } catch (const sheetgen::error& e) {
      // Some of the dialogue's messages end in a line break of their own,
      // and one begins with a blank the console shows; neither belongs in
      // an exception's text.
      std::string message = e.what();
      while (!message.empty() && message.back() == '\n') message.pop_back();
      message.erase(0, message.find_first_not_of(' '));
      // File names are bytes; a message must still come out.
      py::object text = py::reinterpret_steal<py::object>(PyUnicode_DecodeUTF8(
          message.data(), static_cast<py::ssize_t>(message.size()), "backslashreplace"));
      PyErr_SetObject(error_type, text.ptr());
    }
  });

  sheetgen::python::define_run(m);
  sheetgen::python::define_family(m);
  sheetgen::python::define_read(m);
  sheetgen::python::define_solution(m);
  sheetgen::python::define_bounds(m);
}
