#include "families/recipe_verify.h"

#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>

#include <optional>

#include "families/generate.h"
#include "inspect/verify.h"

namespace sheetkit {

bool verify_recipe(const run_info& run, std::ostream& out,
                   const sheetgen::progress_callback& progress, const made_bytes& made) {
  const sheetgen::family_run family(*run.family);
  // A value line is at most two 19-digit numbers, a tab and a line break.
  constexpr std::size_t value_line_room = 41;
  file_comparison items(run.instance_file, sheetgen::MAXMOD * sheetgen::item_line_room + 1);
  std::optional<file_comparison> defects;
  if (family.has_defects())
    defects.emplace(run.defect_file, sheetgen::MAXDEF * sheetgen::defect_line_room + 1);
  file_comparison values(run.value_file, sheetgen::MAXMOD * value_line_room + 1);
  sheetgen::family_instance in;
  instance_text text;
  const int32_t total = family.settings().instances;
  int64_t done = 0;
  if (progress) progress({"verify", 0, total, 0, "items"});
  for (int32_t n = 1; n <= total; ++n) {
    if (!made && items.done() && values.done() && (!defects || defects->done())) break;
    family.make(n, in);
    text = {};
    append_instance_text(in, defects.has_value(), text);
    if (made) {
      made(0, text.items);
      if (defects) made(1, text.defects);
      made(2, text.values);
    }
    const auto lines = static_cast<int64_t>(in.items.size()) + 1;
    if (!items.done()) items.compare(text.items, lines);
    if (!values.done()) values.compare(text.values, lines);
    if (defects && !defects->done())
      defects->compare(text.defects, static_cast<int64_t>(in.defects.size()) + 1);
    done += static_cast<int64_t>(in.items.size());
    if (progress) progress({"verify", n, total, done, "items"});
  }
  items.finish();
  if (defects) defects->finish();
  values.finish();
  items.report(out);
  if (defects) defects->report(out);
  values.report(out);
  return items.identical() && values.identical() && (!defects || defects->identical());
}

}  // namespace sheetkit
