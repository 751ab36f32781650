// Files the binding reads (answers files, instance and defect files),
// opened as Python opens files: a name that cannot be read is an OSError
// (FileNotFoundError, PermissionError, IsADirectoryError) naming it.
#ifndef SHEETGEN_PYTHON_INPUT_FILE_H_
#define SHEETGEN_PYTHON_INPUT_FILE_H_

#include <fstream>
#include <memory>
#include <string>

namespace sheetgen::python {

// Opens `name` for binary reading. Needs the GIL; throws
// pybind11::error_already_set holding the OSError.
std::unique_ptr<std::ifstream> open_input(const std::string& name);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_INPUT_FILE_H_
