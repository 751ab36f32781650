#include "read_binding.h"

#include <pybind11/stl.h>
#include <sheetgen/run_reader.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "arrays.h"
#include "input_file.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

// The files stay open until the last instance has been read or an error
// has ended the reading, then close at once.
class file_iterator {
 public:
  // Opens both files now, so that a name that cannot be read is reported
  // by read() itself.
  file_iterator(const std::string& instance_file, const std::optional<std::string>& defect_file)
      : items_in_(open_input(instance_file)) {
    if (defect_file) defects_in_ = open_input(*defect_file);
    reader_.emplace(*items_in_, instance_file, defects_in_.get(), defect_file.value_or(""));
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
