#include "families/generate.h"

#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/perfect_packing.h>
#include <sheetgen/value_file.h>

#include <memory>
#include <optional>

#include "files/files.h"

namespace sheetkit {

void append_instance_text(const sheetgen::family_instance& in, bool with_defects,
                          instance_text& out) {
  sheetgen::append_item_block(in.items, out.items);
  if (with_defects) sheetgen::append_defect_block(in.defects, out.defects);
  sheetgen::append_value_block(in.values, in.copies, out.values);
}

generated generate_run(const recipe& r, const std::string& recipe_name,
                       const std::filesystem::path& folder,
                       const sheetgen::progress_callback& progress) {
  const sheetgen::family_run run(r.settings);
  const bool with_defects = run.has_defects();
  file_writer items(folder / r.instance_file);
  std::optional<file_writer> defects;
  if (with_defects) defects.emplace(folder / r.defect_file);
  file_writer values(folder / r.value_file);
  generated done;
  sheetgen::family_instance in;
  instance_text text;
  // Written a few MiB at a time: memory stays flat for any run.
  constexpr std::size_t flush_at = 4 << 20;
  const auto flush = [&] {
    items.write(text.items);
    if (defects) defects->write(text.defects);
    values.write(text.values);
    text.items.clear(), text.defects.clear(), text.values.clear();
  };
  const int32_t total = r.settings.instances;
  if (progress) progress({"generate", 0, total, 0, "items"});
  for (int32_t n = 1; n <= total; ++n) {
    run.make(n, in);
    append_instance_text(in, with_defects, text);
    done.item_types += static_cast<int64_t>(in.items.size());
    done.defects += static_cast<int64_t>(in.defects.size());
    if (text.items.size() >= flush_at) flush();
    if (progress) progress({"generate", n, total, done.item_types, "items"});
  }
  flush();
  done.instances = total;
  items.commit();
  done.files.push_back(r.instance_file);
  if (defects) {
    defects->commit();
    done.files.push_back(r.defect_file);
  }
  values.commit();
  done.files.push_back(r.value_file);
  write_file(folder / recipe_name, recipe_text(r));
  done.files.push_back(recipe_name);
  return done;
}

std::vector<std::string> write_certificates(const recipe& r, const std::filesystem::path& folder) {
  const sheetgen::family_run run(r.settings);
  // Pinwheels are cut by no guillotine tree: placements alone then.
  bool guillotine = true;
  for (const auto& [name, value] : run.settings().parameters)
    if (name == "pinwheels" && value != "0") guillotine = false;
  std::vector<std::string> names;
  file_writer placements(folder / "placements.csv");
  std::string text;
  for (int32_t n = 1; n <= r.settings.instances; ++n) {
    const sheetgen::perfect_packing p = sheetgen::perfect_instance(run, n);
    std::string one = sheetgen::perfect_placements(p, n);
    // One header for the whole run.
    text.append(one, n == 1 ? 0 : one.find('\n') + 1);
    if (text.size() >= (4u << 20)) placements.write(text), text.clear();
    if (guillotine) {
      const std::string name = "certificate_" + std::to_string(n) + ".csv";
      write_file(folder / name, sheetgen::perfect_guillotine_certificate(p));
      names.push_back(name);
    }
  }
  placements.write(text);
  placements.commit();
  names.insert(names.begin(), "placements.csv");
  return names;
}

}  // namespace sheetkit
