// Files the binding reads (answers files, instance and defect files),
// opened as Python opens files: a name that cannot be read is an OSError
// (FileNotFoundError, PermissionError, IsADirectoryError) naming it, and
// the wait for a named pipe's writer holds no other thread back.
#ifndef SHEETGEN_PYTHON_INPUT_FILE_H_
#define SHEETGEN_PYTHON_INPUT_FILE_H_

#include <fstream>
#include <memory>
#include <streambuf>
#include <string>
#include <system_error>

namespace sheetgen::python {

// Opens `name` (bytes, as the OS takes them) for binary reading. Called with
// the GIL, which it lets go while the OS opens the file; throws
// pybind11::error_already_set holding the OSError, or KeyboardInterrupt
// when Ctrl-C ends the wait.
std::unique_ptr<std::ifstream> open_input(const std::string& name);

// Sets Python's error to OSError(code, strerror(code), name), the subclass
// that `code` selects as Python's own open() would; name is decoded as
// os.fsdecode does. Needs the GIL.
void set_os_error(int code, const std::string& name);

// Reads through another stream buffer and keeps the OS error it throws,
// where a reader that takes any failure for the input's end (the
// dialogue's) would lose it.
class error_keeping_buffer : public std::streambuf {
 public:
  explicit error_keeping_buffer(std::streambuf& from) : from_(from) {}
  // The OS error met, if any (errno's value and category).
  std::error_code error() const { return error_; }

 protected:
  int_type underflow() override;

 private:
  std::streambuf& from_;
  std::error_code error_;
  char buffer_[4096];
};

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_INPUT_FILE_H_
