#include "pictures/draw.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/builtins.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "files/files.h"
#include "files/held_to_answers.h"
#include "files/instance_reader.h"
#include "files/output_folder.h"
#include "files/run_files.h"
#include "text/text.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

int64_t count_instances(const instance_pass& pass) {
  int64_t n = 0;
  pass([&](const instance&) { ++n; });
  return n;
}

struct draw_options {
  run_options source;
  std::string dir;
  bool force = false;
  std::string instances = "1-4";
  bool bare = false;
  CLI::Option* instances_given = nullptr;
  std::vector<std::pair<int64_t, int64_t>> ranges;  // parsed from `instances`
  std::optional<output_folder> folder;
};

// What draw writes into its folder, as output_folder's patterns.
const std::vector<std::string> draw_names = {"instance_#.svg", "defects.svg", "items.svg"};

int draw_work(const run_info& run, draw_options& o, session& s) {
  run_files files(run);
  const int64_t count = run.answers ? run.answers->no_instances : count_instances(files.pass());
  std::vector<int64_t> chosen;
  bool clipped = false;
  for (const auto& [first, last] : o.ranges) {
    for (int64_t n = first; n <= std::min(last, count); ++n) chosen.push_back(n);
    // An open range asks for whatever there is.
    clipped = clipped || (last > count && last != std::numeric_limits<int64_t>::max());
  }
  const bool asked = o.instances_given->count() > 0;
  if (asked && chosen.empty()) {
    throw usage_error("--instances " + o.instances + ": the run has " +
                      count_of(count, "instance") +
                      (count == 0 ? "" : "; choose among 1-" + std::to_string(count)));
  }
  const std::vector<fs::path> written = draw(run, s.shown.shown(held_to_answers(files.pass(), run)),
                                             chosen, o.folder->begin(), o.bare);
  o.folder->commit();
  s.shown.clear();
  if (clipped && asked) {
    s.say("the run has " + count_of(count, "instance") + "; the others are left out");
  }
  for (const fs::path& file : written)
    s.out << (o.folder->path() / file.filename()).string() << '\n';
  return status_ok;
}

}  // namespace

std::function<prepared()> setup_draw(CLI::App& app) {
  auto o = std::make_shared<draw_options>();
  o->source.add_to(app);
  add_output_options(app, o->dir, o->force, "DIR", "A new folder for the pictures");
  o->instances_given =
      app.add_option("--instances", o->instances,
                     "Instances to draw, such as 1-4,7, 5- (to the last) or all (default 1-4)")
          ->type_name("LIST");
  app.add_flag("--bare", o->bare,
               "Pictures without title and caption, for a figure that has a caption of its own");
  return [o] {
    o->ranges = parse_instance_list(o->instances);
    run_info run = o->source.run();
    o->folder.emplace(o->dir, o->force, files_read(o->source, run), draw_names);
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return draw_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
