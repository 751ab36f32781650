#include "input_file.h"

#include <fcntl.h>
#include <poll.h>
#include <pybind11/pybind11.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace sheetgen::python {

namespace py = pybind11;

void set_os_error(int code, const std::string& name) {
  py::object file = py::reinterpret_steal<py::object>(
      PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<py::ssize_t>(name.size())));
  if (!file) throw py::error_already_set();
  // OSError's constructor picks the subclass (FileNotFoundError, ...).
  py::object e = py::reinterpret_borrow<py::object>(PyExc_OSError)(code, std::strerror(code), file);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(e.ptr())), e.ptr());
}

std::unique_ptr<std::ifstream> open_input(const std::string& name) {
  for (;;) {
    std::unique_ptr<std::ifstream> in;
    int code = 0;
    {
      // A named pipe's open waits for a writer, for ever if none comes.
      py::gil_scoped_release release;
      errno = 0;
      in = std::make_unique<std::ifstream>(name, std::ios::binary);
      code = errno;
      std::error_code ec;
      if (*in) {
        // A folder opens on some systems and then reads as an empty file.
        if (!std::filesystem::is_directory(name, ec)) return in;
        code = EISDIR;
      }
    }
    // A signal ended the wait: its Python handler runs (Ctrl-C raises
    // KeyboardInterrupt); otherwise the wait goes on, as open() does.
    if (code == EINTR) {
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      continue;
    }
    set_os_error(code != 0 ? code : EIO, name);  // EIO: the stream failed without saying why
    throw py::error_already_set();
  }
}

error_keeping_buffer::int_type error_keeping_buffer::underflow() {
  std::streamsize got = 0;
  if (!error_) {
    try {
      got = from_.sgetn(buffer_, sizeof buffer_);
    } catch (const std::system_error& e) {
      error_ = e.code();
    }
  }
  if (got <= 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(buffer_[0]);
}

interruptible_buffer::interruptible_buffer(const std::string& name) {
  // Opened here, not reopened after open_input: a pipe opened again after
  // its writer left would wait for another writer, for ever.
  for (;;) {
    int code = 0;
    {
      py::gil_scoped_release release;  // a named pipe's open waits for a writer
      fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
      code = errno;
    }
    if (fd_ >= 0) return;
    if (code != EINTR) {
      error_ = std::error_code(code, std::generic_category());
      return;
    }
    if (PyErr_CheckSignals() != 0) {
      interrupted_ = true;
      return;
    }
  }
}

interruptible_buffer::~interruptible_buffer() {
  if (fd_ >= 0) ::close(fd_);
}

interruptible_buffer::int_type interruptible_buffer::underflow() {
  while (fd_ >= 0 && !interrupted_ && !error_) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);  // ms: how late Ctrl-C may be seen
    if (ready > 0) {
      const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
      if (got > 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
      }
      if (got == 0) break;  // the end
      if (errno != EINTR && errno != EAGAIN) {
        error_ = std::error_code(errno, std::generic_category());
        break;
      }
    } else if (ready < 0 && errno != EINTR) {
      error_ = std::error_code(errno, std::generic_category());
      break;
    }
    // A spell waited, or a signal came: Python's handlers run now.
    py::gil_scoped_acquire hold;
    if (PyErr_CheckSignals() != 0) interrupted_ = true;  // the exception stays pending
  }
  return traits_type::eof();
}

}  // namespace sheetgen::python
