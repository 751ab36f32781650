#include "formats/field_exports.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "figures/bounds.h"
#include "files/export_layout.h"
#include "files/files.h"

namespace sheetkit {

namespace {

void put(std::string& out, int64_t v) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// Values joined by `separator`, then a line end.
template <typename... Values>
void put_line(std::string& out, char separator, Values... values) {
  bool first = true;
  ((out += first ? "" : std::string(1, separator), first = false,
    put(out, static_cast<int64_t>(values))),
   ...);
  out += '\n';
}

// The copies each item type is written with: its own, or where unlimited
// the most that can fit.
std::vector<int64_t> written_copies(const run_info& run, const instance& in,
                                    const field_export_rules& rules, bound_calculator& bounds) {
  if (rules.copies >= 0) return std::vector<int64_t>(in.items.size(), rules.copies);
  bound_input b;
  b.object = run.object;
  b.items = in.items;
  b.defects = in.defects;
  b.copies_each = -1;
  b.rotation = rules.rotation;
  // Only the copies are wanted: no exact knapsack.
  b.budget.subset_sum_bits = 0;
  b.budget.table_cells = 0;
  return bounds(b).copies_that_fit;
}

void refuse(const std::string& format, const field_export_rules& rules) {
  if (const std::string why = refusal(format, rules); !why.empty()) throw sheetgen::error(why);
}

std::filesystem::path instance_folder(const std::filesystem::path& dir, const instance& in) {
  const std::filesystem::path folder = dir / instance_name(in.number);
  std::error_code failed;
  std::filesystem::create_directories(folder, failed);
  if (failed) throw file_error(folder.string(), "cannot be created", failed);
  return folder;
}

}  // namespace

std::vector<std::string> cannot_carry(const std::string& format, const field_export_rules& rules) {
  std::vector<std::string> missing;
  if (format == "roadef2018") {
    if (!rules.rotation)
      missing.push_back("items that must not be turned (the challenge turns any item)");
    if (rules.values_beyond_area)
      missing.push_back("values other than the area (the challenge minimises waste)");
  } else if (format == "2dpacklib") {
    if (rules.rotation) missing.push_back("rotation (2DPackLib's items keep their orientation)");
    if (rules.values_beyond_area)
      missing.push_back("values other than the area (written as the area)");
  }
  return missing;
}

std::string refusal(const std::string& format, const field_export_rules& rules) {
  const std::vector<std::string> missing = cannot_carry(format, rules);
  if (missing.empty() || rules.drop) return {};
  std::string text = format + " cannot carry ";
  for (std::size_t k = 0; k < missing.size(); ++k)
    text += (k == 0 ? "" : k + 1 == missing.size() ? " and " : ", ") + missing[k];
  return text + "; give --drop to write the instances without it";
}

void export_roadef2018(const run_info& run, const instance_pass& pass,
                       const std::filesystem::path& dir, const field_export_rules& rules) {
  refuse("roadef2018", rules);
  std::string param = "NAME;VALUE\n";
  const auto named = [&](const char* name, int64_t v) {
    param += name;
    param += ';';
    put_line(param, ';', v);
  };
  named("nPlates", 1);
  named("widthPlates", run.object.length);
  named("heightPlates", run.object.width);
  named("minXX", 1);
  named("maxXX", run.object.length);
  named("minYY", 1);
  named("minWaste", 1);
  bound_calculator bounds;
  std::string text;
  pass([&](const instance& in) {
    const std::filesystem::path folder = instance_folder(dir, in);
    const std::vector<int64_t> copies = written_copies(run, in, rules, bounds);
    text = "ITEM_ID;LENGTH_ITEM;WIDTH_ITEM;STACK;SEQUENCE\n";
    int64_t id = 0;
    for (std::size_t t = 0; t < in.items.size(); ++t) {
      for (int64_t c = 0; c < copies[t]; ++c, ++id)
        put_line(text, ';', id, in.items[t].length, in.items[t].width, id, 1);
    }
    write_file(folder / "batch.csv", text);
    text = "DEFECT_ID;PLATE_ID;X;Y;WIDTH;HEIGHT\n";
    for (std::size_t d = 0; d < in.defects.size(); ++d) {
      const placed_defect& f = in.defects[d];
      put_line(text, ';', static_cast<int64_t>(d), 0, f.x1, f.y1, int64_t{f.x2} - f.x1,
               int64_t{f.y2} - f.y1);
    }
    write_file(folder / "defects.csv", text);
    write_file(folder / "global_param.csv", param);
  });
}

void export_2dpacklib(const run_info& run, const instance_pass& pass,
                      const std::filesystem::path& dir, const field_export_rules& rules) {
  refuse("2dpacklib", rules);
  std::error_code failed;
  std::filesystem::create_directories(dir, failed);
  if (failed) throw file_error(dir.string(), "cannot be created", failed);
  bound_calculator bounds;
  std::string text;
  pass([&](const instance& in) {
    const std::vector<int64_t> copies = written_copies(run, in, rules, bounds);
    text.clear();
    put_line(text, ' ', static_cast<int64_t>(in.items.size()));
    put_line(text, ' ', run.object.length, run.object.width);
    for (std::size_t t = 0; t < in.items.size(); ++t) {
      const rectangle& r = in.items[t];
      put_line(text, ' ', static_cast<int64_t>(t) + 1, r.length, r.width, 0, copies[t], r.area);
    }
    const std::string name = instance_name(in.number);
    write_file(dir / (name + ".ins2D"), text);
    text.clear();
    put_line(text, ' ', static_cast<int64_t>(in.defects.size()));
    for (std::size_t d = 0; d < in.defects.size(); ++d) {
      const placed_defect& f = in.defects[d];
      put_line(text, ' ', static_cast<int64_t>(d) + 1, f.x1, f.y1, int64_t{f.x2} - f.x1,
               int64_t{f.y2} - f.y1);
    }
    write_file(dir / (name + ".defects"), text);
  });
}

std::string packingsolver_parameters_csv(const packingsolver_parameters& p) {
  std::string out = "NAME,VALUE\nobjective,knapsack\nnumber_of_stages,";
  put(out, p.number_of_stages);
  out += "\ncut_type," + p.cut_type + "\nfirst_stage_orientation," + p.first_stage_orientation +
         "\ncut_thickness,";
  put(out, p.cut_thickness);
  out += "\nminimum_waste_length,";
  put(out, p.minimum_waste_length);
  out += "\ncut_through_defects,";
  out += p.cut_through_defects ? "1\n" : "0\n";
  return out;
}

void write_packingsolver_parameters(const std::filesystem::path& dir, int64_t instances,
                                    const packingsolver_parameters& p) {
  const std::string text = packingsolver_parameters_csv(p);
  for (int64_t k = 1; k <= instances; ++k)
    write_file(dir / instance_name(k) / export_parameters_file, text);
}

}  // namespace sheetkit
