#include "cli/solution_command.h"

#include <sheetgen/types.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/run_options.h"
#include "cli/usage_error.h"
#include "families/recipe.h"
#include "files/instance_reader.h"
#include "files/output_folder.h"
#include "files/source.h"
#include "solutions/claims.h"
#include "solutions/export_contract.h"
#include "solutions/solution_check.h"
#include "solutions/solution_picture.h"
#include "solutions/solution_reader.h"
#include "solutions/solution_source.h"
#include "solutions/solution_summary.h"
#include "text/suggest.h"
#include "text/text.h"

namespace sheetkit {

const char* const solution_footer =
    "SOLUTIONS are an export folder (export --to packingsolver -o DIR) whose instance_K/\n"
    "hold the solver's certificates (named by --certificate), or one certificate file per\n"
    "instance in the run's order, or placement files (header instance,item_type,x,y,rotated)\n"
    "for the whole run. Item types are numbered from 0, as the export's rows; instances and\n"
    "defects from 1 (a file's own 0-based ID is said as ID). From an export folder the copies\n"
    "and the rotation are those the export was asked for (its record, else its items.csv), and\n"
    "its files are held to ours and to them; otherwise --copies and --rotation give them.\n"
    "The guillotine options are PackingSolver's own: pass the same to both.";

namespace {

namespace fs = std::filesystem;

struct solution_options {
  run_options source;
  std::vector<std::string> solutions;
  std::string certificate = "solution.csv";
  std::string copies = "1";
  CLI::Option* copies_given = nullptr;
  bool rotation = false;
  std::string claims;
  int64_t stages = 3;
  std::string cut_type = "non-exact";
  std::string first_stage = "any";
  int64_t cut_thickness = 0;
  int64_t minimum_waste = 1;
  bool through_defects = false;
  std::string format = "text";
  bool json = false;
  // draw
  std::string dir;
  bool force = false;
  std::string instances = "1-4";
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::optional<output_folder> folder;

  solution_rules rules;
  bool from_export = false;                       // the one SOLUTIONS is an export folder
  bool placements = false;                        // SOLUTIONS are placement files for the run
  std::shared_ptr<solution_source> source_files;  // opened by prepare
};

// One of `choices`, or a usage error that names them and the nearest.
void require_one_of(const std::string& option, const std::string& value,
                    const std::vector<std::string>& choices) {
  for (const std::string& c : choices)
    if (c == value) return;
  const std::optional<std::string> guess = nearest(value, choices);
  throw usage_error(option + " takes " + one_of(choices) + ", not \"" + value + "\"" +
                    (guess ? "; did you mean " + *guess + "?" : ""));
}

void add_options(CLI::App& app, solution_options& o) {
  o.source.add_to(app);
  app.add_option("SOLUTIONS", o.solutions,
                 "An export folder, a certificate per instance, or placement files")
      ->required()
      ->type_name("");
  app.add_option("--certificate", o.certificate,
                 "In an export folder: the certificate's name in each instance_K/ (default\n"
                 "solution.csv)")
      ->type_name("NAME");
  o.copies_given =
      app.add_option("--copies", o.copies, "Copies of each item type: N or unlimited (default 1)")
          ->type_name("N|unlimited");
  app.add_flag("--rotation", o.rotation, "Items may be turned by 90 degrees");
  app.add_option("--claims", o.claims,
                 "The solver's --output JSON: figures that disagree are violations (in an\n"
                 "export folder: its name in each instance_K/)")
      ->type_name("FILE");
  app.add_option("--number-of-stages", o.stages, "Guillotine: levels of cuts (default 3)")
      ->type_name("N")
      ->check(CLI::Range(int64_t{1}, int64_t{1000}).description(""));
  app.add_option("--cut-type", o.cut_type,
                 "Guillotine: non-exact (default; the last stage's pieces may be trimmed) or\n"
                 "exact")
      ->type_name("TYPE");
  app.add_option("--first-stage-orientation", o.first_stage,
                 "Guillotine: vertical, horizontal or any (default)")
      ->type_name("O");
  app.add_option("--cut-thickness", o.cut_thickness, "Guillotine: the blade's width (default 0)")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber.description(""));
  app.add_option("--minimum-waste-length", o.minimum_waste,
                 "Guillotine: a waste piece's least width across its cut (default 1)")
      ->type_name("L")
      ->check(CLI::NonNegativeNumber.description(""));
  app.add_flag("--cut-through-defects", o.through_defects, "Guillotine: cuts may cross defects");
}

// Checks the options and settles where the solutions come from; throws
// usage_error before anything is read.
void prepare(solution_options& o) {
  require_one_of("--cut-type", o.cut_type, {"non-exact", "exact"});
  require_one_of("--first-stage-orientation", o.first_stage, {"vertical", "horizontal", "any"});
  solution_rules& r = o.rules;
  r.guillotine.number_of_stages = o.stages;
  r.guillotine.non_exact = o.cut_type == "non-exact";
  r.guillotine.first_stage_orientation = o.first_stage == "vertical" ? stage_orientation::vertical
                                         : o.first_stage == "horizontal"
                                             ? stage_orientation::horizontal
                                             : stage_orientation::any;
  r.guillotine.cut_thickness = o.cut_thickness;
  r.guillotine.minimum_waste_length = o.minimum_waste;
  r.guillotine.cut_through_defects = o.through_defects;
  r.rotation = o.rotation;
  if (o.copies == "unlimited") {
    r.copies = unlimited_copies;
  } else if (const std::optional<int64_t> n = parse_positive(o.copies)) {
    r.copies = *n;
  } else {
    throw usage_error("--copies takes a positive number or unlimited, not \"" + o.copies + "\"");
  }
  std::error_code ec;
  o.from_export = o.solutions.size() == 1 && fs::is_directory(o.solutions[0], ec);
  if (o.from_export && (o.copies_given->count() > 0 || o.rotation)) {
    throw usage_error(
        "the export folder's items.csv gives the copies and the rotation the solver was given; "
        "leave out --copies and --rotation");
  }
  for (const std::string& path : o.solutions) {
    if (o.from_export) break;
    if (fs::is_directory(path, ec))
      throw usage_error(path + " is a folder; give an export folder alone, or solution files");
  }
  // The first file is opened once, here, and its header read: a pipe is
  // read once, and a device stops at the reader's bound.
  o.source_files = std::make_shared<solution_source>(
      solution_places{o.solutions, o.certificate, o.from_export, false});
  o.placements = o.source_files->placements();
  if (!o.claims.empty() && !o.from_export && (o.placements || o.solutions.size() != 1)) {
    throw usage_error(
        "--claims FILE goes with one certificate, or names the file in each "
        "instance folder of an export");
  }
}

// Instance `in`'s solution judged, the solver's claims included; not
// judged, with why, when it has none to judge.
judgement judge(const run_info& run, const instance& in, const solution_options& o,
                solution_source& src) {
  judge_case c{{run.object, in.items, in.defects, in.values}, in.number, o.rules};
  judgement j = src.judge(c);
  if (!j.judged || o.claims.empty()) return j;
  const fs::path claims =
      o.from_export ? src.instance_folder(in.number) / o.claims : fs::path(o.claims);
  try {
    check_claims(read_claims(claims), j.read, j.report, o.rules.max_violations);
  } catch (const sheetgen::error& e) {
    j.judged = false;
    j.why = e.what();
  }
  return j;
}

int check_work(const run_info& run, solution_options& o, session& s) {
  // A family that knows its instances' optima (from the run's recipe).
  std::optional<sheetgen::family_run> family;
  if (run.family) family.emplace(*run.family);
  const bool known = family && family->knows_optimum();
  const std::unique_ptr<solution_summary> summary = make_solution_summary(s.out, o.format, known);
  run_solution_figures total;
  solution_source& src = *o.source_files;
  int64_t instances = 0;
  file_pass(run)([&](const instance& in) {
    ++instances;
    judgement j = judge(run, in, o, src);
    if (known) j.report.figures.known_optimum = known_optimum(*family, in);
    if (!j.judged) {
      ++total.missing;
      summary->missing(in.number, j.why);
      return;
    }
    total.add(j.report);
    summary->instance(in.number, j.read.file, j.report);
  });
  const std::string beyond = src.leftover(instances);
  summary->run(total);
  if (!beyond.empty()) {
    s.out.flush();
    s.err << "sheetkit: solution check: " << beyond << '\n';
  }
  const bool all_good = total.feasible == total.instances && total.missing == 0 && beyond.empty();
  return all_good ? status_ok : status_problems;
}

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
    const std::string name = "instance_" + std::to_string(in.number) + ".svg";
    std::ofstream file(into / name, std::ios::binary);
    render_solution(file, run, in, j.read, j.report, svg::form{});
    file.close();
    if (!file) throw sheetgen::error("Cannot write file " + (into / name).string() + "!");
    written.push_back((o.folder->path() / name).string());
  });
  if (written.empty()) {
    for (const std::string& m : missing) s.err << "sheetkit: solution draw: " << m << '\n';
    throw usage_error("no chosen instance has a solution to draw (--instances " + o.instances +
                      ")");
  }
  o.folder->commit();
  for (const std::string& w : written) s.out << w << '\n';
  s.out.flush();
  for (const std::string& m : missing) s.err << "sheetkit: solution draw: " << m << '\n';
  return missing.empty() ? status_ok : status_problems;
}

std::vector<std::string> inputs(const solution_options& o, const run_info& run) {
  std::vector<std::string> files = {o.source.answers, run.instance_file, run.defect_file};
  files.insert(files.end(), o.solutions.begin(), o.solutions.end());
  if (!o.claims.empty()) files.push_back(o.claims);
  return files;
}

}  // namespace

std::function<prepared()> setup_solution_check(CLI::App& check) {
  auto o = std::make_shared<solution_options>();
  add_options(check, *o);
  check.add_option("--format", o->format, "text (default), json or csv")->type_name("FORMAT");
  check.add_flag("--json", o->json, "The same as --format json");
  return [o] {
    require_one_of("--format", o->format, {"text", "json", "csv"});
    if (o->json) o->format = "json";
    prepare(*o);
    run_info run = o->source.run();
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return check_work(run, *o, s); }};
  };
}

std::function<prepared()> setup_solution_draw(CLI::App& draw) {
  auto o = std::make_shared<solution_options>();
  add_options(draw, *o);
  draw.add_option("-o,--output", o->dir, "A new folder for the pictures")
      ->type_name("DIR")
      ->required();
  draw.add_flag("--force", o->force, "Replace the -o folder whole when it is not empty");
  draw.add_option("--instances", o->instances, "Instances to draw, such as 1-4,7 (default 1-4)")
      ->type_name("LIST");
  return [o] {
    o->ranges = parse_instance_list(o->instances);
    prepare(*o);
    run_info run = o->source.run();
    o->folder.emplace(o->dir, o->force, inputs(*o, run));
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return draw_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
