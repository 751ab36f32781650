#include "cli/solution_options.h"

#include <sheetgen/types.h>

#include <filesystem>
#include <system_error>

#include "cli/builtins.h"
#include "cli/usage_error.h"
#include "solutions/claims.h"

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

namespace fs = std::filesystem;

void add_solution_options(CLI::App& app, solution_options& o) {
  o.source.add_to(app);
  app.add_option("SOLUTIONS", o.solutions,
                 "An export folder, a certificate per instance, or placement files")
      ->required()
      ->type_name("");
  app.add_option("--certificate", o.certificate,
                 "In an export folder: the certificate's name in each instance_K/ (default\n"
                 "solution.csv)")
      ->type_name("NAME");
  o.copies.add_to(app, "Copies of each item type: N or unlimited (default 1)");
  app.add_flag("--rotation", o.rotation, "Items may be turned by 90 degrees");
  app.add_option("--claims", o.claims,
                 "The solver's --output JSON: figures that disagree are violations (in an\n"
                 "export folder: its name in each instance_K/)")
      ->type_name("FILE");
  o.guillotine.add_to(app, "Guillotine");
}

void prepare(solution_options& o) {
  solution_rules& r = o.rules;
  r.guillotine = o.guillotine.rules();
  r.rotation = o.rotation;
  r.copies = o.copies.count();
  std::error_code ec;
  o.from_export = o.solutions.size() == 1 && fs::is_directory(o.solutions[0], ec);
  if (o.from_export && (o.copies.given() || o.rotation)) {
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

judgement judge(const run_info& run, const instance& in, const solution_options& o,
                solution_source& src) {
  judge_case c{{run.object, in.items, in.defects, in.values}, in.number, o.rules};
  judgement j = src.judge(c);
  if (!j.judged || o.claims.empty()) return j;
  const fs::path claims =
      o.from_export ? src.instance_folder(in.number) / o.claims : fs::path(o.claims);
  judge_claims(j, claims, o.rules.max_violations);
  return j;
}

std::vector<std::string> solution_inputs(const solution_options& o, const run_info& run) {
  std::vector<std::string> files = files_read(o.source, run);
  files.insert(files.end(), o.solutions.begin(), o.solutions.end());
  if (!o.claims.empty()) files.push_back(o.claims);
  return files;
}

}  // namespace sheetkit
