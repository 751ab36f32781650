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

// Reads a file by its descriptor, without the GIL, and lets Ctrl-C end the
// read: a pipe that stalls is waited on in short spells, and between them
// Python's signal handlers run. After a handler raised, the buffer gives
// the end of the input and interrupted() says why; the caller then throws
// the pending exception (pybind11::error_already_set) once it has the GIL.
class interruptible_buffer : public std::streambuf {
 public:
  // Opens `name`, with the GIL, which it lets go while the OS opens it;
  // an error or an interrupt there is told as for a read.
  explicit interruptible_buffer(const std::string& name);
  ~interruptible_buffer() override;
  interruptible_buffer(const interruptible_buffer&) = delete;
  interruptible_buffer& operator=(const interruptible_buffer&) = delete;

  // Whether a signal handler raised while reading.
  bool interrupted() const { return interrupted_; }
  // The OS error met, if any.
  std::error_code error() const { return error_; }

 protected:
  int_type underflow() override;

 private:
  int fd_ = -1;
  bool interrupted_ = false;
  std::error_code error_;
  char buffer_[1 << 16];
};

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_INPUT_FILE_H_
