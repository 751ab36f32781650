#include "input_file.h"

#include <pybind11/pybind11.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace sheetgen::python {

namespace py = pybind11;

std::unique_ptr<std::ifstream> open_input(const std::string& name) {
  errno = 0;
  auto in = std::make_unique<std::ifstream>(name, std::ios::binary);
  int code = errno;
  std::error_code ec;
  if (*in) {
    // A folder opens on some systems and then reads as an empty file.
    if (!std::filesystem::is_directory(name, ec)) return in;
    code = EISDIR;
  }
  errno = code != 0 ? code : EIO;  // EIO: the stream failed without saying why
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, py::str(name).ptr());
  throw py::error_already_set();
}

}  // namespace sheetgen::python
