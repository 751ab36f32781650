#include "solution_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <sheetgen/types.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "input_file.h"
#include "interrupts.h"
#include "solutions/judge.h"
#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetgen::python {

namespace py = pybind11;

namespace {

// What the package's Python side passes: C-ordered int64 arrays of the
// shape it has checked.
using int_array = py::array_t<int64_t, py::array::c_style>;

constexpr int64_t int32_max = std::numeric_limits<int32_t>::max();

[[noreturn]] void refuse(const std::string& what) { throw py::value_error(what); }

// Copying millions of rows takes a while (each page of the copy faults
// in on its own), with the GIL held: Ctrl-C is looked for as it goes.
void now_and_then(std::size_t row) {
  if ((row & 0xffff) == 0xffff && PyErr_CheckSignals() != 0) throw py::error_already_set();
}

const int64_t* rows(const int_array& a, py::ssize_t columns, const char* name) {
  if (a.ndim() != 2 || a.shape(1) != columns)
    refuse(std::string(name) + " must have " + std::to_string(columns) + " columns");
  return a.data();
}

// The item types as the check takes them: positive sides whose product
// fits 32 bits, as every instance of ours has them; a third column, where
// given, is the area, as sheetgen's arrays have it.
std::vector<sheetkit::rectangle> item_types(const int_array& items) {
  const py::ssize_t columns = items.ndim() == 2 ? items.shape(1) : 0;
  if (columns != 2 && columns != 3)
    refuse("items must have 2 columns (length, width) or 3 (and area)");
  const int64_t* v = items.data();
  std::vector<sheetkit::rectangle> out;
  out.reserve(static_cast<std::size_t>(items.shape(0)));
  for (py::ssize_t k = 0; k < items.shape(0); ++k, v += columns) {
    const std::string row = "items row " + std::to_string(k) + ": ";
    if (v[0] < 1 || v[1] < 1 || v[0] > int32_max || v[1] > int32_max || v[0] * v[1] > int32_max) {
      refuse(row + std::to_string(v[0]) + " x " + std::to_string(v[1]) +
             " is no item type: sides are positive and their product fits 32 bits");
    }
    if (columns == 3 && v[2] != v[0] * v[1])
      refuse(row + "area " + std::to_string(v[2]) + " is not " + std::to_string(v[0]) + " x " +
             std::to_string(v[1]));
    out.push_back(sheetkit::rectangle::of(static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1])));
  }
  return out;
}

std::vector<sheetkit::placed_defect> defect_list(const int_array& defects, int64_t length,
                                                 int64_t width) {
  const int64_t* v = rows(defects, 4, "defects");
  std::vector<sheetkit::placed_defect> out;
  out.reserve(static_cast<std::size_t>(defects.shape(0)));
  for (py::ssize_t k = 0; k < defects.shape(0); ++k, v += 4) {
    for (int c = 0; c < 4; ++c) {
      if (v[c] < std::numeric_limits<int32_t>::min() || v[c] > int32_max)
        refuse("defects row " + std::to_string(k) + ": " + std::to_string(v[c]) +
               " is past 32 bits");
    }
    // As the instance reader holds a defect file: inside the object, of
    // positive sides, or the usable area is a fiction.
    if (!(0 <= v[0] && v[0] < v[2] && v[2] <= length && 0 <= v[1] && v[1] < v[3] && v[3] <= width))
      refuse("defects row " + std::to_string(k) + ": x " + std::to_string(v[0]) + " to " +
             std::to_string(v[2]) + ", y " + std::to_string(v[1]) + " to " + std::to_string(v[3]) +
             " is no defect of the " + std::to_string(length) + " x " + std::to_string(width) +
             " object");
    out.push_back({static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                   static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3])});
  }
  return out;
}

// The guillotine settings, as sheetkit's options name them.
sheetkit::guillotine_rules guillotine(int64_t stages, const std::string& cut_type,
                                      const std::string& first, int64_t thickness,
                                      int64_t minimum_waste, bool through_defects) {
  sheetkit::guillotine_rules g;
  if (stages < 1 || stages > 1000)
    refuse("number_of_stages must be 1 to 1000, not " + std::to_string(stages));
  if (cut_type != "non-exact" && cut_type != "exact")
    refuse("cut_type must be \"non-exact\" or \"exact\", not \"" + cut_type + "\"");
  if (first != "vertical" && first != "horizontal" && first != "any")
    refuse("first_stage_orientation must be \"vertical\", \"horizontal\" or \"any\", not \"" +
           first + "\"");
  if (thickness < 0) refuse("cut_thickness must be >= 0, not " + std::to_string(thickness));
  if (minimum_waste < 0)
    refuse("minimum_waste_length must be >= 0, not " + std::to_string(minimum_waste));
  g.number_of_stages = stages;
  g.non_exact = cut_type == "non-exact";
  g.first_stage_orientation = first == "vertical"     ? sheetkit::stage_orientation::vertical
                              : first == "horizontal" ? sheetkit::stage_orientation::horizontal
                                                      : sheetkit::stage_orientation::any;
  g.cut_thickness = thickness;
  g.minimum_waste_length = minimum_waste;
  g.cut_through_defects = through_defects;
  return g;
}

// A Solution's arrays back into the certificate sheetkit read, lines and
// all, so that its violations are sheetkit's word for word.
sheetkit::solution certificate_of(const py::dict& d) {
  sheetkit::solution s;
  const std::string format = d["format"].cast<std::string>();
  s.format = format == "rectangle"             ? sheetkit::solution_format::rectangle
             : format == "rectangleguillotine" ? sheetkit::solution_format::guillotine
                                               : sheetkit::solution_format::placements;
  s.file = d["file"].cast<std::string>();
  s.instance = d["instance"].is_none() ? 0 : d["instance"].cast<int64_t>();
  // The arrays are held while their pointers are read.
  std::vector<int_array> keep;
  const auto column = [&](const char* key, py::ssize_t columns, py::ssize_t rows_wanted) {
    keep.push_back(d[key].cast<int_array>());
    const int_array& a = keep.back();
    const bool shaped = columns == 0 ? a.ndim() == 1 : a.ndim() == 2 && a.shape(1) == columns;
    if (!shaped || (rows_wanted >= 0 && a.shape(0) != rows_wanted))
      refuse(std::string("Solution.") + key + " does not have the shape read_solution gave it");
    return std::make_pair(a.data(), a.shape(0));
  };
  const auto [p, n] = column("placements", 4, -1);
  const auto [sd, ns] = column("sides", 2, n);
  const auto [cp, nc] = column("copies", 0, n);
  const auto [ln, nl] = column("lines", 0, n);
  s.items.reserve(static_cast<std::size_t>(n));
  for (py::ssize_t k = 0; k < n; ++k) {
    now_and_then(static_cast<std::size_t>(k));
    sheetkit::placement& q = s.items.emplace_back();
    q.item_type = p[4 * k];
    q.x = p[4 * k + 1];
    q.y = p[4 * k + 2];
    q.rotated = p[4 * k + 3] != 0;
    q.length = sd[2 * k];
    q.width = sd[2 * k + 1];
    q.copies = cp[k];
    q.line = ln[k];
  }
  const auto [b, nb] = column("bins", 5, -1);
  const auto [bl, nbl] = column("bin_lines", 0, nb);
  for (py::ssize_t k = 0; k < nb; ++k)
    s.bins.push_back({b[5 * k], b[5 * k + 1], b[5 * k + 2], b[5 * k + 3], b[5 * k + 4], bl[k]});
  const auto [f, nf] = column("defects", 5, -1);
  const auto [fb, nfb] = column("defect_bins", 0, nf);
  const auto [fl, nfl] = column("defect_lines", 0, nf);
  for (py::ssize_t k = 0; k < nf; ++k)
    s.defects.push_back(
        {f[5 * k], fb[k], f[5 * k + 1], f[5 * k + 2], f[5 * k + 3], f[5 * k + 4], fl[k]});
  const auto [t, nt] = column("nodes", 10, -1);
  const auto [tl, ntl] = column("node_lines", 0, nt);
  for (py::ssize_t k = 0; k < nt; ++k) {
    const int64_t* r = t + 10 * k;
    s.nodes.push_back({r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], tl[k]});
  }
  return s;
}

py::dict check(const int_array& items, const int_array& defects, int64_t length, int64_t width,
               const py::object& placements, const std::optional<int_array>& sides, int64_t copies,
               bool rotation, int64_t stages, const std::string& cut_type, const std::string& first,
               int64_t thickness, int64_t minimum_waste, bool through_defects) {
  if (length < 1 || width < 1 || length > int32_max || width > int32_max)
    refuse("the object's sides must be positive and fit 32 bits, not " + std::to_string(length) +
           " x " + std::to_string(width));
  if (copies < 1 && copies != sheetkit::unlimited_copies)
    refuse("copies must be positive, or None for unlimited");
  const std::vector<sheetkit::rectangle> types = item_types(items);
  const std::vector<sheetkit::placed_defect> placed_defects = defect_list(defects, length, width);
  sheetkit::solution given;
  if (py::isinstance<py::dict>(placements)) {
    // A Solution's fields: the whole certificate.
    if (sides) refuse("sides go with placement arrays; a Solution holds its own");
    given = certificate_of(placements.cast<py::dict>());
  } else {
    const int_array rows_given = placements.cast<int_array>();
    const int64_t* p = rows(rows_given, 4, "placements");
    const int64_t* s = nullptr;
    if (sides) {
      s = rows(*sides, 2, "sides");
      if (sides->shape(0) != rows_given.shape(0)) refuse("sides must have a row per placement");
    }
    given.file = "placement";
    given.rows = true;
    const auto n = static_cast<std::size_t>(rows_given.shape(0));
    given.items.reserve(n);
    for (std::size_t k = 0; k < n; ++k, p += 4) {
      now_and_then(k);
      if (p[3] != 0 && p[3] != 1)
        refuse("placement " + std::to_string(k) + ": rotated " + std::to_string(p[3]) +
               " is neither 0 nor 1");
      sheetkit::placement& q = given.items.emplace_back();
      q.item_type = p[0];
      q.x = p[1];
      q.y = p[2];
      q.rotated = p[3] == 1;
      q.line = static_cast<int64_t>(k) + 1;
      if (s != nullptr) {
        if (s[2 * k] < 1 || s[2 * k + 1] < 1)
          refuse("sides row " + std::to_string(k) + ": sides are positive");
        q.length = s[2 * k];
        q.width = s[2 * k + 1];
      }
    }
  }
  sheetkit::judge_case c;
  c.instance = {sheetkit::rectangle::of(static_cast<int32_t>(length), static_cast<int32_t>(width)),
                types, placed_defects};
  c.number = given.instance > 0 ? given.instance : 1;
  c.rules.copies = copies;
  c.rules.rotation = rotation;
  c.rules.guillotine =
      guillotine(stages, cut_type, first, thickness, minimum_waste, through_defects);
  sheetkit::judgement j;
  {
    py::gil_scoped_release release;
    interrupt_check interrupted;  // Ctrl-C ends a check of millions of rows
    c.rules.poll = [&interrupted] { interrupted(); };
    j = sheetkit::judge_solution(c, std::move(given));
  }
  const sheetkit::solution_report& r = j.report;
  // The names and order of `sheetkit solution check --json`.
  const sheetkit::solution_figures& f = r.figures;
  py::dict out;
  out["feasible"] = r.feasible();
  out["violations"] = r.violation_count;
  out["messages"] = r.lines();
  out["items_placed"] = f.items_placed;
  out["distinct_types"] = f.distinct_types;
  out["placed_area"] = f.placed_area;
  out["profit"] = f.profit;
  out["usable_area"] = f.usable_area;
  out["area_bound"] = f.area_bound;
  out["utilisation"] = f.utilisation();
  out["gap"] = f.gap();
  return out;
}

// An int64 array of `n` rows filled by `row(k, out)`.
template <typename Fill>
py::array_t<int64_t> table(std::size_t n, py::ssize_t columns, Fill row) {
  py::array_t<int64_t> a({static_cast<py::ssize_t>(n), columns});
  int64_t* out = a.mutable_data();
  for (std::size_t k = 0; k < n; ++k, out += columns) row(k, out);
  return a;
}

const char* format_name(sheetkit::solution_format f) {
  switch (f) {
    case sheetkit::solution_format::rectangle:
      return "rectangle";
    case sheetkit::solution_format::guillotine:
      return "rectangleguillotine";
    case sheetkit::solution_format::placements:
      break;
  }
  return "placements";
}

py::dict solution_dict(const sheetkit::solution& s) {
  py::dict d;
  d["format"] = format_name(s.format);
  d["instance"] = s.instance > 0 ? py::cast(s.instance) : py::none();
  const auto& items = s.items;
  d["placements"] = table(items.size(), 4, [&](std::size_t k, int64_t* o) {
    o[0] = items[k].item_type, o[1] = items[k].x, o[2] = items[k].y,
    o[3] = items[k].rotated ? 1 : 0;
  });
  d["sides"] = table(items.size(), 2, [&](std::size_t k, int64_t* o) {
    o[0] = items[k].length, o[1] = items[k].width;
  });
  d["copies"] = table(items.size(), 1, [&](std::size_t k, int64_t* o) {
                  o[0] = items[k].copies;
                }).attr("reshape")(-1);
  d["lines"] = table(items.size(), 1, [&](std::size_t k, int64_t* o) {
                 o[0] = items[k].line;
               }).attr("reshape")(-1);
  d["bins"] = table(s.bins.size(), 5, [&](std::size_t k, int64_t* o) {
    const sheetkit::stated_bin& b = s.bins[k];
    o[0] = b.type, o[1] = b.copies, o[2] = b.position, o[3] = b.length, o[4] = b.width;
  });
  d["bin_lines"] = table(s.bins.size(), 1, [&](std::size_t k, int64_t* o) {
                     o[0] = s.bins[k].line;
                   }).attr("reshape")(-1);
  d["defects"] = table(s.defects.size(), 5, [&](std::size_t k, int64_t* o) {
    const sheetkit::stated_defect& f = s.defects[k];
    o[0] = f.index, o[1] = f.x, o[2] = f.y, o[3] = f.length, o[4] = f.width;
  });
  d["defect_bins"] = table(s.defects.size(), 1, [&](std::size_t k, int64_t* o) {
                       o[0] = s.defects[k].bin;
                     }).attr("reshape")(-1);
  d["defect_lines"] = table(s.defects.size(), 1, [&](std::size_t k, int64_t* o) {
                        o[0] = s.defects[k].line;
                      }).attr("reshape")(-1);
  d["nodes"] = table(s.nodes.size(), 10, [&](std::size_t k, int64_t* o) {
    const sheetkit::cut_node& n = s.nodes[k];
    o[0] = n.plate, o[1] = n.copies, o[2] = n.id, o[3] = n.x, o[4] = n.y, o[5] = n.length,
    o[6] = n.width, o[7] = n.type, o[8] = n.depth, o[9] = n.parent;
  });
  d["node_lines"] = table(s.nodes.size(), 1, [&](std::size_t k, int64_t* o) {
                      o[0] = s.nodes[k].line;
                    }).attr("reshape")(-1);
  return d;
}

py::list read(const std::string& name) {
  interruptible_buffer buffer(name);
  if (buffer.interrupted()) throw py::error_already_set();
  if (buffer.error()) {  // Python's OSError for what cannot be opened
    set_os_error(buffer.error().value(), name);
    throw py::error_already_set();
  }
  std::istream in(&buffer);
  std::vector<sheetkit::solution> solutions;
  {
    py::gil_scoped_release release;
    try {
      sheetkit::solution_reader reader(in, name);
      sheetkit::solution s;
      while (!buffer.interrupted() && reader.next(s)) solutions.push_back(std::move(s));
    } catch (const std::exception&) {
      // What Ctrl-C or an OS error cut short is no fault of the file.
      if (!buffer.interrupted() && !buffer.error()) throw;
    }
  }
  if (buffer.interrupted()) throw py::error_already_set();  // KeyboardInterrupt, say
  if (buffer.error()) {
    set_os_error(buffer.error().value(), name);
    throw py::error_already_set();
  }
  py::list out;
  for (const sheetkit::solution& s : solutions) out.append(solution_dict(s));
  return out;
}

}  // namespace

void define_solution(py::module_& m) {
  m.def("check_placements", &check, py::arg("items"), py::arg("defects"), py::arg("length"),
        py::arg("width"), py::arg("placements"), py::arg("sides"), py::arg("copies"),
        py::arg("rotation"), py::arg("number_of_stages"), py::arg("cut_type"),
        py::arg("first_stage_orientation"), py::arg("cut_thickness"),
        py::arg("minimum_waste_length"), py::arg("cut_through_defects"));
  m.def("read_solution", &read, py::arg("path"));
}

}  // namespace sheetgen::python
