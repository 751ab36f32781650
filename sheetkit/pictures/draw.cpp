// Two passes: the first gathers what the pictures are laid out by (counts,
// largest items), the second feeds the overlay and the item charts and
// draws the chosen instances as they come by.
#include "pictures/draw.h"

#include <sheetgen/types.h>

#include <set>
#include <string>

#include "files/export_layout.h"
#include "files/files.h"
#include "pictures/defect_overlay.h"
#include "pictures/instance_picture.h"
#include "pictures/item_charts.h"
#include "pictures/picture.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

std::vector<fs::path> draw(const run_info& run, const instance_pass& pass,
                           const std::vector<int64_t>& chosen_instances, const fs::path& dir,
                           bool bare) {
  const object_sides refused_before_reading(run);
  run_summary sum;
  pass([&](const instance& inst) { sum.add(inst); });
  const std::set<int64_t> wanted(chosen_instances.begin(), chosen_instances.end());
  for (const int64_t n : wanted)
    if (n < 1 || n > sum.instances)
      throw sheetgen::error("Instance " + std::to_string(n) + " is not in the run: it has " +
                            count_of(sum.instances, "instance") + "!");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) {
    throw file_error(dir.string(), "cannot be created",
                     ec ? ec : std::make_error_code(std::errc::not_a_directory));
  }

  std::vector<fs::path> written;
  defect_overlay overlay(run, sum);
  item_charts items(run, sum);
  pass([&](const instance& inst) {
    overlay.add(inst);
    items.add(inst);
    if (wanted.count(inst.number)) {
      const std::string name = instance_name(inst.number);
      written.push_back(dir / (name + ".svg"));
      write_file(written.back(),
                 render_instance(run, inst, sum.instances,
                                 {.id = "instance-" + std::to_string(inst.number), .bare = bare}));
    }
  });
  written.push_back(dir / "defects.svg");
  write_file(written.back(), overlay.render({.id = "defects", .bare = bare}));
  written.push_back(dir / "items.svg");
  write_file(written.back(), items.render({.id = "items", .bare = bare}));
  return written;
}

}  // namespace sheetkit
