#include "run_binding.h"

#include <pybind11/stl.h>
#include <sheetgen/answers.h>
#include <sheetgen/generator.h>
#include <sheetgen/parameters.h>
#include <sheetgen/run_files.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "arrays.h"
#include "input_file.h"
#include "interrupts.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

// One run's answers, and what is worth keeping from call to call: where
// the defect pass starts (it follows every item, so finding it takes a
// whole item pass), and an item pass and a defect pass standing where they
// were asked for last.
// Everything but `p` and the names needs `busy`, which is only ever waited
// for without the GIL.
struct run_state {
  run_parameters p;
  std::mutex busy;
  std::optional<defect_placer> defect_start;
  std::string failure;  // the repair failure met on the way to defect_start
  std::optional<item_generator> cursor;
  std::optional<defect_placer> defect_cursor;
};

int32_t instance_count(const run_parameters& p) { return std::max(p.no_instances, 0); }

const defect_placer& defect_start(run_state& s, interrupt_check& check) {
  if (!s.defect_start) {
    if (!s.failure.empty()) throw error(s.failure);
    item_generator items(s.p);
    try {
      while (items.next()) check();
    } catch (const error& e) {
      s.failure = e.what();
      throw;
    }
    s.defect_start.emplace(std::move(items).defects());
  }
  return *s.defect_start;
}

// The instances of a run, each generated when it is asked for: the items
// by an item pass of its own, the defects by a copy of the run's defect
// start. Memory stays that of one instance, however long the run.
class instance_iterator {
 public:
  explicit instance_iterator(std::shared_ptr<run_state> run) : run_(std::move(run)) {}

  py::tuple next() {
    std::unique_lock<std::mutex> lock;
    bool more = false;
    {
      py::gil_scoped_release release;
      lock = std::unique_lock(busy_);
      more = step();
    }
    if (!more) throw py::stop_iteration();
    return py::make_tuple(item_array(items_->items()),
                          defects_ ? defect_array(defects_->defects()) : defect_array({}));
  }

 private:
  bool step() {
    if (ended_) return false;
    ended_ = true;  // unless this step completes: an error ends the iteration
    if (!items_) {
      if (run_->p.no_defects >= 1) {
        interrupt_check check;
        const std::lock_guard run_lock(run_->busy);
        defects_.emplace(defect_start(*run_, check));
      }
      items_.emplace(run_->p);
    }
    if (!items_->next()) return false;
    if (defects_) defects_->next();
    ended_ = false;
    return true;
  }

  std::shared_ptr<run_state> run_;
  std::mutex busy_;  // one step at a time, whichever thread asks
  std::optional<item_generator> items_;
  std::optional<defect_placer> defects_;
  bool ended_ = false;
};

// The shortest text that reads back as the same single-precision bound,
// as a Python float: 0.1, not 0.10000000149011612.
double shortest(float v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  double d = 0;
  std::from_chars(text, end, d);  // not strtod, which follows the locale
  return d;
}

class run_binding {
 public:
  // Answers given one by one, each as its text: read as the dialogue reads
  // an answer, then checked in the dialogue's order with its messages.
  static run_binding from_values(const std::string& instances, const std::string& length,
                                 const std::string& width, const std::string& item_types,
                                 const std::string& lower, const std::string& upper,
                                 const std::vector<std::pair<std::string, std::string>>& defects,
                                 const std::string& seed) {
    auto s = std::make_shared<run_state>();
    run_parameters& p = s->p;
    p.no_instances = parse_int_answer(instances);
    p.object.length = parse_int_answer(length);
    p.object.width = parse_int_answer(width);
    p.no_items = parse_int_answer(item_types);
    p.minrelsize = parse_float_answer(lower);
    p.maxrelsize = parse_float_answer(upper);
    // More than MAXDEF is refused by the checks, in their turn.
    p.no_defects = static_cast<int32_t>(std::min<std::size_t>(defects.size(), MAXDEF + 1));
    for (std::size_t k = 0; k < defects.size() && k < MAXDEF; ++k) {
      p.defects[k].length = parse_int_answer(defects[k].first);
      p.defects[k].width = parse_int_answer(defects[k].second);
    }
    p.seed = parse_int_answer(seed);
    check_parameters(p);
    return run_binding(std::move(s));
  }

  // The dialogue's answers from a file, read silently with its checks;
  // a bad answer is reported as "FILE:LINE: QUESTION: MESSAGE".
  static run_binding from_answers(const std::string& file) {
    const std::unique_ptr<std::ifstream> in = open_input(file);
    auto s = std::make_shared<run_state>();
    py::gil_scoped_release release;  // a named pipe may keep it waiting
    std::ostream no_prompts(nullptr);
    // The dialogue takes a failed read for the answers' end; the OS's
    // reason, not "Input is not a valid number!", is what went wrong.
    error_keeping_buffer kept(*in->rdbuf());
    std::istream answers(&kept);
    try {
      s->p = read_answers(answers, no_prompts, std::filesystem::path());
    } catch (const answer_error& e) {
      if (kept.error()) throw file_error(file, kept.error());
      throw error(e.located(file));
    }
    if (kept.error()) throw file_error(file, kept.error());
    return run_binding(std::move(s));
  }

  const run_parameters& p() const { return s_->p; }

  py::array_t<int32_t> items(int64_t k) {
    check_index(k);
    std::vector<rectangle> block;
    {
      py::gil_scoped_release release;
      interrupt_check check;
      const std::lock_guard lock(s_->busy);
      auto& cursor = s_->cursor;
      try {
        if (!cursor || cursor->instances_done() > k + 1) cursor.emplace(s_->p);
        while (cursor->instances_done() < k + 1 && cursor->next()) check();
      } catch (...) {
        cursor.reset();  // it cannot go on after a failure, and need not after an interrupt
        throw;
      }
      block.assign(cursor->items().begin(), cursor->items().end());
    }
    return item_array(block);
  }

  py::array_t<int32_t> defects(int64_t k) {
    check_index(k);
    if (s_->p.no_defects < 1) return defect_array({});
    std::vector<placed_defect> block;
    {
      py::gil_scoped_release release;
      interrupt_check check;
      const std::lock_guard lock(s_->busy);
      auto& cursor = s_->defect_cursor;
      if (!cursor || cursor->instances_done() > k + 1) cursor.emplace(defect_start(*s_, check));
      while (cursor->instances_done() < k + 1 && cursor->next()) check();
      block.assign(cursor->defects().begin(), cursor->defects().end());
    }
    return defect_array(block);
  }

  // The whole run in two arrays, generated in one pass. The item pass
  // that fills them also gives the defect start, which is kept.
  py::tuple arrays() {
    const run_parameters& p = s_->p;
    const py::ssize_t n = instance_count(p);
    const py::ssize_t m = std::max(p.no_items, 0);
    const py::ssize_t d = std::max(p.no_defects, 0);
    py::array_t<int32_t> items({n, m, py::ssize_t{3}});
    py::array_t<int32_t> defects({n, d, py::ssize_t{4}});
    int32_t* to = items.mutable_data();
    int32_t* defects_to = defects.mutable_data();
    {
      py::gil_scoped_release release;
      interrupt_check check;
      item_generator pass(p);
      while (pass.next()) {
        for (const rectangle& r : pass.items()) {
          *to++ = r.length;
          *to++ = r.width;
          *to++ = r.area;
        }
        check();
      }
      if (d > 0) {
        const std::lock_guard lock(s_->busy);
        if (!s_->defect_start) s_->defect_start.emplace(std::move(pass).defects());
        defect_placer placer(*s_->defect_start);
        while (placer.next()) {
          for (const placed_defect& x : placer.defects()) {
            *defects_to++ = x.x1;
            *defects_to++ = x.y1;
            *defects_to++ = x.x2;
            *defects_to++ = x.y2;
          }
          check();
        }
      }
    }
    return py::make_tuple(std::move(items), std::move(defects));
  }

  std::unique_ptr<instance_iterator> instances() const {
    return std::make_unique<instance_iterator>(s_);
  }

  // The names are the dialogue's (checked as it checks them), taken
  // relative to `folder`; an empty folder is the current one.
  void write(const std::string& instance_file, const std::string& defect_file,
             const std::string& folder) const {
    run_parameters p = s_->p;
    p.filename = instance_file;
    p.defectfilename = defect_file;
    py::gil_scoped_release release;
    interrupt_check check;
    write_run_files(p, folder, [&](const pass_progress& at) {
      if (!at.pass.empty()) check();
    });
  }

 private:
  explicit run_binding(std::shared_ptr<run_state> s) : s_(std::move(s)) {}

  void check_index(int64_t k) const {
    if (k < 0 || k >= instance_count(s_->p)) {
      throw py::index_error("instance " + std::to_string(k) + " out of range: the run has " +
                            std::to_string(instance_count(s_->p)) + " instances");
    }
  }

  std::shared_ptr<run_state> s_;
};

}  // namespace

void define_run(py::module_& m) {
  py::class_<instance_iterator, std::unique_ptr<instance_iterator>>(
      m, "InstanceIterator", "The instances of a run, one (items, defects) pair at a time.")
      .def("__iter__", [](instance_iterator& it) -> instance_iterator& { return it; })
      .def("__next__", &instance_iterator::next);

  py::class_<run_binding>(m, "Run", "A run's checked answers; sheetgen.Run wraps it.")
      .def_static("from_values", &run_binding::from_values, py::arg("instances"), py::arg("length"),
                  py::arg("width"), py::arg("item_types"), py::arg("lower"), py::arg("upper"),
                  py::arg("defects"), py::arg("seed"))
      .def_static("from_answers", &run_binding::from_answers, py::arg("file"))
      .def_property_readonly("instance_count",
                             [](const run_binding& r) { return r.p().no_instances; })
      .def_property_readonly("length", [](const run_binding& r) { return r.p().object.length; })
      .def_property_readonly("width", [](const run_binding& r) { return r.p().object.width; })
      .def_property_readonly("item_types", [](const run_binding& r) { return r.p().no_items; })
      .def_property_readonly("lower",
                             [](const run_binding& r) { return shortest(r.p().minrelsize); })
      .def_property_readonly("upper",
                             [](const run_binding& r) { return shortest(r.p().maxrelsize); })
      .def_property_readonly("min_area", [](const run_binding& r) { return r.p().minarea; })
      .def_property_readonly("max_area", [](const run_binding& r) { return r.p().maxarea; })
      .def_property_readonly("defect_sizes",
                             [](const run_binding& r) {
                               std::vector<std::pair<int32_t, int32_t>> sizes;
                               for (int32_t k = 0; k < r.p().no_defects; ++k) {
                                 sizes.emplace_back(r.p().defects[k].length,
                                                    r.p().defects[k].width);
                               }
                               return sizes;
                             })
      .def_property_readonly("seed", [](const run_binding& r) { return r.p().seed; })
      // Bytes: the names are the OS's, and need not be UTF-8.
      .def_property_readonly("instance_file",
                             [](const run_binding& r) { return py::bytes(r.p().filename); })
      .def_property_readonly("defect_file",
                             [](const run_binding& r) { return py::bytes(r.p().defectfilename); })
      .def("items", &run_binding::items, py::arg("k"))
      .def("defects", &run_binding::defects, py::arg("k"))
      .def("instances", &run_binding::instances)
      .def("arrays", &run_binding::arrays)
      .def("write", &run_binding::write, py::arg("instance_file"), py::arg("defect_file"),
           py::arg("folder"));
}

}  // namespace sheetgen::python
