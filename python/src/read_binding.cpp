#include "read_binding.h"

#include <pybind11/stl.h>
#include <sheetgen/run_reader.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "arrays.h"
#include "input_file.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

// A reader of `name`: a regular file by name, mapped, the fastest way;
// anything else (a named pipe, whose open may wait) through open_input's
// stream, kept in `stream`. Errors are OSError, as open_input raises them.
template <class Reader>
Reader open_reader(const std::string& name, std::unique_ptr<std::ifstream>& stream) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) {
    stream = open_input(name);
    return Reader(*stream, name);
  }
  int code = 0;
  try {
    return Reader(std::filesystem::path(name), name);
  } catch (const file_error& e) {
    code = e.code().value();
  }
  set_os_error(code, name);
  throw py::error_already_set();
}

// The files stay open until the last instance has been read or an error
// has ended the reading, then close at once.
class file_iterator {
 public:
  // Opens both files now, so that a name that cannot be read is reported
  // by read() itself.
  file_iterator(const std::string& instance_file, const std::optional<std::string>& defect_file) {
    instance_reader items = open_reader<instance_reader>(instance_file, items_in_);
    std::optional<defect_reader> defects;
    if (defect_file) defects.emplace(open_reader<defect_reader>(*defect_file, defects_in_));
    reader_.emplace(std::move(items), instance_file, std::move(defects), defect_file.value_or(""));
  }

  py::tuple next() {
    std::unique_lock<std::mutex> lock;
    bool more = false;
    {
      py::gil_scoped_release release;
      lock = std::unique_lock(busy_);
      if (reader_) {
        try {
          more = reader_->next(items_, defects_);
        } catch (...) {
          close();
          throw;
        }
        if (!more) close();
      }
    }
    if (!more) throw py::stop_iteration();
    return py::make_tuple(item_array(items_), defect_array(defects_));
  }

 private:
  void close() {
    reader_.reset();
    items_in_.reset();
    defects_in_.reset();
  }

  std::unique_ptr<std::ifstream> items_in_;
  std::unique_ptr<std::ifstream> defects_in_;
  std::optional<run_reader> reader_;  // until the end
  std::vector<rectangle> items_;
  std::vector<placed_defect> defects_;
  std::mutex busy_;  // one block at a time, whichever thread asks
};

}  // namespace

void define_read(py::module_& m) {
  py::class_<file_iterator, std::unique_ptr<file_iterator>>(
      m, "FileIterator", "The instances of a run's files, one (items, defects) pair at a time.")
      .def("__iter__", [](file_iterator& it) -> file_iterator& { return it; })
      .def("__next__", &file_iterator::next);
  m.def(
      "read",
      [](const std::string& instance_file, const std::optional<std::string>& defect_file) {
        return std::make_unique<file_iterator>(instance_file, defect_file);
      },
      py::arg("instance_file"), py::arg("defect_file"));
}

}  // namespace sheetgen::python
