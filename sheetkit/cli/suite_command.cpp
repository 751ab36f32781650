#include "cli/suite_command.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "cli/interrupt_note.h"
#include "cli/usage_error.h"
#include "files/files.h"
#include "files/output_path.h"
#include "formats/field_exports.h"
#include "suites/results_page.h"
#include "suites/results_table.h"
#include "suites/suite_export.h"
#include "suites/suite_files.h"
#include "suites/suite_make.h"
#include "suites/suite_report.h"
#include "suites/suite_results.h"
#include "suites/suite_verify.h"
#include "text/text.h"

namespace sheetkit {

const char* const suite_footer =
    "make writes DIR/suite.json, a copy of the JSON file, each set to DIR/CLASS/sSEED/\n"
    "(answers.txt, instances.txt, defects.txt; a class that names a family: recipe.txt,\n"
    "instances.txt, defects.txt, values.txt, and a class CLASS.dK per count K of its \"layers\"),\n"
    "then DIR/SHA256SUMS, DIR/index.html, the page that report writes, and last\n"
    "DIR/manifest.tsv: where it stands, the suite is complete.\n"
    "Making again keeps the complete sets and does the rest; one make at a time in DIR.\n"
    "--shard K/N takes the pieces of the suite's order (classes as the file lists them,\n"
    "seeds in order) at the 1-based positions p with (p - 1) mod N = K - 1;\n"
    "a piece is one set, or a whole class with \"complete\": true, whose seeds depend on\n"
    "which runs abort. A shard writes no manifest: a last make without --shard does,\n"
    "once every shard is done. verify --shard K/N checks the same sets and their lines\n"
    "in the manifest and SHA256SUMS; shard 1 also looks for what belongs to no set.\n"
    "report reads a made suite; its page gives the manifest's SHA-256 to cite, the\n"
    "commands that verify the suite, the table of stats --suite and each class's pictures.\n"
    "export writes every completed set for a solver into OUT/CLASS/sSEED/, beside the suite;\n"
    "solvers write NAME.csv (their certificate) and NAME.json (their output) into each\n"
    "instance folder; results checks every certificate against the suite and gives the\n"
    "table per class and solver (status 1 when any solution is infeasible or missing).";

namespace {

struct suite_options {
  std::string json;  // the suite's JSON file
  std::string dir;
  int jobs = std::max(1u, std::thread::hardware_concurrency());
  std::string shard = "1/1";
  bool force = false;
};

void add_common(CLI::App& command, suite_options& o) {
  command.add_option("-j,--jobs", o.jobs, "Sets at a time (default: the hardware threads)")
      ->type_name("N")
      ->check(CLI::Range(1, 256).description(""));
  command
      .add_option("--shard", o.shard, "Only the K-th of N pieces of the suite (see suite --help)")
      ->type_name("K/N");
}

}  // namespace

std::function<prepared()> setup_suite_make(CLI::App& make) {
  auto o = std::make_shared<suite_options>();
  make.add_option("SUITE_FILE", o->json, "The suite's JSON file")->required()->type_name("");
  make.add_option("-o,--output", o->dir, "The suite's folder (made if missing)")
      ->type_name("DIR")
      ->required();
  add_common(make, *o);
  make.add_flag("--force", o->force, "DIR may hold the suite of another suite file: make this one");
  return [o] {
    auto maker = std::make_shared<suite_maker>(
        suite_make_options{o->json, o->dir, o->jobs, suite_shard::parse(o->shard), o->force});
    return prepared{{}, [maker, dir = o->dir](const run_info&, session& s) {
                      const interrupt_note note(
                          "sheetkit: suite make: interrupted; the sets made so far are kept, and "
                          "the next suite make in " +
                          dir + " removes what this one left (its lock and temporary folders)");
                      return maker->run(s.out, s.err, s.shown.callback());
                    }};
  };
}

std::function<prepared()> setup_suite_verify(CLI::App& verify) {
  auto o = std::make_shared<suite_options>();
  verify.add_option("DIR", o->dir, "The suite's folder")->required()->type_name("");
  add_common(verify, *o);
  return [o] {
    const suite_shard shard = suite_shard::parse(o->shard);
    return prepared{{}, [o, shard](const run_info&, session& s) {
                      return verify_suite(o->dir, o->jobs, shard, s.out, s.shown.callback());
                    }};
  };
}

std::function<prepared()> setup_suite_export(CLI::App& command) {
  auto o = std::make_shared<suite_options>();
  auto e = std::make_shared<suite_export_options>();
  command.add_option("DIR", o->dir, "The made suite")->required()->type_name("");
  command
      .add_option("--to", e->to,
                  "What to write per set: packingsolver, json, jsonl, roadef2018 or 2dpacklib")
      ->type_name("FORMAT")
      ->required()
      ->check(CLI::IsMember({"packingsolver", "json", "jsonl", "roadef2018", "2dpacklib"})
                  .description(""));
  command
      .add_option("-o,--output", e->out, "The export's folder, beside the suite (made if missing)")
      ->type_name("OUT")
      ->required();
  command.add_option("--copies", e->copies, "packingsolver: COPIES of every item type (default 1)")
      ->type_name("N|unlimited");
  command.add_flag("--rotation", e->rotation, "packingsolver: items may be turned (ORIENTED 0)");
  command.add_flag("--drop", e->drop,
                   "roadef2018, 2dpacklib: leave out what the format cannot carry, rather than "
                   "refuse");
  add_common(command, *o);
  return [o, e] {
    if (e->out.empty()) throw usage_error("-o \"\": give the export's folder");
    if (e->copies != "unlimited" && !parse_positive(e->copies)) {
      throw usage_error("--copies takes a positive count or unlimited, not \"" + e->copies + "\"");
    }
    const bool counts = e->to == "packingsolver" || e->to == "roadef2018" || e->to == "2dpacklib";
    if (!counts && (e->copies != "1" || e->rotation))
      throw usage_error(
          "--copies and --rotation are for --to packingsolver, roadef2018 and 2dpacklib");
    if (e->drop && e->to != "roadef2018" && e->to != "2dpacklib")
      throw usage_error(
          "--drop is for --to roadef2018 and 2dpacklib, which cannot carry everything");
    if (e->to == "roadef2018" || e->to == "2dpacklib") {
      field_export_rules rules;
      rules.rotation = e->rotation;
      rules.drop = e->drop;
      if (const std::string why = refusal(e->to, rules); !why.empty()) throw usage_error(why);
    }
    e->dir = o->dir;
    e->jobs = o->jobs;
    e->shard = suite_shard::parse(o->shard);
    return prepared{{}, [e](const run_info&, session& s) {
                      return export_suite(*e, s.out, s.err, s.shown.callback());
                    }};
  };
}

std::function<prepared()> setup_suite_results(CLI::App& command) {
  struct options {
    results_options r;
    std::string dir, out, format = "text", file, cut_type = "non-exact", orientation = "any";
    CLI::Option* file_given = nullptr;
  };
  auto o = std::make_shared<options>();
  o->r.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  command.add_option("DIR", o->dir, "The made suite")->required()->type_name("");
  command.add_option("OUT", o->out, "Its export, with the solvers' certificates")
      ->required()
      ->type_name("");
  command
      .add_option("-j,--jobs", o->r.jobs, "Sets checked at once (default: the hardware threads)")
      ->type_name("N")
      ->check(CLI::Range(1, 256).description(""));
  command.add_option("--format", o->format, "text, csv, latex, json, or html: the results page")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "csv", "latex", "json", "html"}).description(""));
  o->file_given =
      command
          .add_option("-o,--output", o->file,
                      "The table's file (default: standard output; for html OUT/results.html)")
          ->type_name("FILE");
  guillotine_rules& g = o->r.guillotine;
  command.add_option("--number-of-stages", g.number_of_stages, "Guillotine: levels of cuts (3)")
      ->type_name("N")
      ->check(CLI::Range(int64_t{1}, int64_t{1000}).description(""));
  command.add_option("--cut-type", o->cut_type, "Guillotine: exact or non-exact (non-exact)")
      ->type_name("TYPE")
      ->check(CLI::IsMember({"exact", "non-exact"}).description(""));
  command
      .add_option("--first-stage-orientation", o->orientation,
                  "Guillotine: vertical, horizontal or any (any)")
      ->type_name("O")
      ->check(CLI::IsMember({"vertical", "horizontal", "any"}).description(""));
  command.add_option("--cut-thickness", g.cut_thickness, "Guillotine: the blade's width (0)")
      ->type_name("L")
      ->check(CLI::Range(int64_t{0}, int64_t{1} << 31).description(""));
  command
      .add_option("--minimum-waste-length", g.minimum_waste_length,
                  "Guillotine: a waste piece's least extent (1)")
      ->type_name("L")
      ->check(CLI::Range(int64_t{0}, int64_t{1} << 31).description(""));
  command.add_flag("--cut-through-defects", g.cut_through_defects,
                   "Guillotine: cuts may cross defects");
  return [o] {
    namespace fs = std::filesystem;
    if (o->file_given->count() > 0 && o->file.empty())
      throw usage_error("-o \"\": give the file's name, or leave -o out");
    std::error_code ec;
    if (!o->file.empty() && o->file != "-" && fs::is_directory(o->file, ec))
      throw usage_error(o->file + " is a folder; give a file's name with -o");
    // The table may go beside the export, never over what results reads
    // or a solver wrote: the suite, the export's record of it, a set.
    if (!o->file.empty() && o->file != "-") {
      const fs::path file = o->file;
      const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
      if (same_or_inside(file, o->dir)) {
        throw usage_error("-o " + o->file + " lies inside the suite " + o->dir +
                          ", which this command reads; give a file outside it");
      }
      if (same_or_inside(file, fs::path(o->out) / export_sha256_file) ||
          (same_or_inside(folder, o->out) && !fs::equivalent(folder, o->out, ec))) {
        throw usage_error("-o " + o->file + " is a file of the export " + o->out +
                          " (its record or a set, where solvers write); give a file beside its "
                          "sets, such as " +
                          (fs::path(o->out) / "results.txt").string() + ", or outside it");
      }
    }
    o->r.guillotine.non_exact = o->cut_type == "non-exact";
    o->r.guillotine.first_stage_orientation =
        o->orientation == "vertical"     ? stage_orientation::vertical
        : o->orientation == "horizontal" ? stage_orientation::horizontal
                                         : stage_orientation::any;
    o->r.dir = o->dir;
    o->r.out = o->out;
    return prepared{{}, [o](const run_info&, session& s) {
                      const suite_results r = gather_results(o->r, s.shown.callback());
                      std::string file = o->file;
                      if (file.empty() && o->format == "html")
                        file = (fs::path(o->out) / "results.html").string();
                      std::ostringstream text;
                      if (o->format == "text") write_results_text(text, r);
                      if (o->format == "csv") write_results_csv(text, r);
                      if (o->format == "latex") write_results_latex(text, r);
                      if (o->format == "json") write_results_json(text, r);
                      if (o->format == "html")
                        text << results_page_html(r, o->r, s.shown.callback());
                      s.shown.clear();
                      if (file.empty() || file == "-") {
                        s.out << text.str();
                      } else {
                        write_file(file, text.str());
                        s.out << file << '\n';
                      }
                      if (!r.complete()) {
                        s.err << "sheetkit suite results: "
                              << (r.solvers.empty()
                                      ? "no certificate in " + o->out
                                      : std::to_string(r.infeasible.size()) + " infeasible, " +
                                            std::to_string(r.missing.size()) + " missing")
                              << '\n';
                        return status_problems;
                      }
                      return status_ok;
                    }};
  };
}

std::function<prepared()> setup_suite_report(CLI::App& report) {
  struct options {
    std::string dir;
    std::string file;
    CLI::Option* file_given = nullptr;
    int jobs = std::max(1u, std::thread::hardware_concurrency());
  };
  auto o = std::make_shared<options>();
  report.add_option("DIR", o->dir, "The suite's folder")->required()->type_name("");
  o->file_given = report
                      .add_option("-o,--output", o->file,
                                  "The page's file (default DIR/index.html); - for standard output")
                      ->type_name("FILE");
  report
      .add_option("-j,--jobs", o->jobs,
                  "Sets read at once for the figures (default: the hardware threads)")
      ->type_name("N")
      ->check(CLI::Range(1, 256).description(""));
  return [o] {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (o->file_given->count() > 0 && o->file.empty())
      throw usage_error("-o \"\": give the page's file name, or leave -o out for DIR/index.html");
    if (!o->file.empty() && o->file != "-" && fs::is_directory(o->file, ec))
      throw usage_error(o->file + " is a folder; give the page's file name with -o, such as " +
                        (fs::path(o->file) / suite_files::page).string());
    // The page's own place is the one file of the suite it may replace.
    if (!o->file.empty() && o->file != "-" && same_or_inside(o->file, o->dir) &&
        !same_or_inside(o->file, fs::path(o->dir) / suite_files::page)) {
      throw usage_error("-o " + o->file + " lies inside the suite " + o->dir +
                        ", which this command reads; give a file outside it, or leave -o out for " +
                        (fs::path(o->dir) / suite_files::page).string());
    }
    return prepared{{}, [o](const run_info&, session& s) {
                      const fs::path written =
                          write_suite_report(o->dir, o->file, s.out, s.shown.callback(),
                                             static_cast<unsigned>(o->jobs));
                      s.shown.clear();
                      if (written != "-") s.out << written.string() << '\n';
                      return 0;
                    }};
  };
}

}  // namespace sheetkit
