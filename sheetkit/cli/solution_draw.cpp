#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/builtins.h"
#include "cli/run_options.h"
#include "cli/solution_options.h"
#include "cli/usage_error.h"
#include "files/export_layout.h"
#include "files/files.h"
#include "files/instance_reader.h"
#include "files/source.h"
#include "solutions/solution_picture.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

int draw_work(const run_info& run, solution_options& o, session& s) {
  solution_source& src = *o.source_files;
  const fs::path into = o.folder->begin();
  std::vector<std::string> written;
  std::vector<std::string> missing;
  file_pass(run)([&](const instance& in) {
    bool chosen = false;
    for (const auto& range : o.ranges)
      chosen = chosen || (in.number >= range.first && in.number <= range.second);
    // Placement files are read in order: an instance left out is read past.
    if (!chosen) {
      src.skip(in.number);
      return;
    }
    const judgement j = judge(run, in, o, src);
    if (!j.judged) {
      missing.push_back("instance " + std::to_string(in.number) + ": no solution: " + j.why);
      return;
    }
    const std::string name = instance_name(in.number) + ".svg";
    std::ostringstream picture;
    render_solution(picture, run, in, j.read, j.report, svg::form{});
    write_file(into / name, picture.str());
    written.push_back((o.folder->path() / name).string());
  });
  if (written.empty()) {
    for (const std::string& m : missing) s.say(m);
    throw usage_error("no chosen instance has a solution to draw (--instances " + o.instances +
                      ")");
  }
  o.folder->commit();
  for (const std::string& w : written) s.out << w << '\n';
  s.out.flush();
  for (const std::string& m : missing) s.say(m);
  return missing.empty() ? status_ok : status_problems;
}

}  // namespace

std::function<prepared()> setup_solution_draw(CLI::App& draw) {
  auto o = std::make_shared<solution_options>();
  add_solution_options(draw, *o);
  add_output_options(draw, o->dir, o->force, "DIR", "A new folder for the pictures");
  draw.add_option("--instances", o->instances, "Instances to draw, such as 1-4,7 (default 1-4)")
      ->type_name("LIST");
  return [o] {
    o->ranges = parse_instance_list(o->instances);
    prepare(*o);
    run_info run = o->source.run();
    o->folder.emplace(o->dir, o->force, solution_inputs(*o, run));
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return draw_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
