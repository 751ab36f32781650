#include "suites/suite_results.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/builtins.h"
#include "cli/cli_errors.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "files/files.h"
#include "files/output_path.h"
#include "suites/results_page.h"
#include "suites/results_table.h"
#include "suites/suite_export.h"

namespace sheetkit {

std::function<prepared()> setup_suite_results(CLI::App& command) {
  struct options {
    results_options r;
    std::string dir, out, format = "text", file;
    std::string columns_given;
    std::vector<std::string> columns;  // the LaTeX table's; empty: the default
    CLI::Option* file_given = nullptr;
    CLI::Option* columns_option = nullptr;
    CLI::Option* format_given = nullptr;
    guillotine_options guillotine;
  };
  auto o = std::make_shared<options>();
  o->r.jobs = default_jobs();
  command.add_option("DIR", o->dir, "The made suite")->required()->type_name("");
  command.add_option("OUT", o->out, "Its export, with the solvers' certificates")
      ->required()
      ->type_name("");
  add_jobs_option(command, o->r.jobs, "Sets checked at once (default: the hardware threads)");
  o->format_given = with_choices(
      command
          .add_option("--format", o->format, "text, csv, latex, json, or html: the results page")
          ->type_name("FORMAT"),
      {"text", "csv", "latex", "json", "html"});
  o->columns_option =
      command
          .add_option("--columns", o->columns_given,
                      "The LaTeX table's columns: the CSV's names, or all (default: what fits "
                      "a portrait page)")
          ->type_name("NAME,...");
  o->file_given =
      command
          .add_option("-o,--output", o->file,
                      "The table's file (default: standard output; for html OUT/results.html)")
          ->type_name("FILE");
  o->guillotine.add_to(command, "Guillotine");
  return [o] {
    namespace fs = std::filesystem;
    check_choice(*o->format_given, o->format);
    o->r.guillotine = o->guillotine.rules();
    if (o->file_given->count() > 0 && o->file.empty())
      throw usage_error("-o \"\": give the file's name, or leave -o out");
    if (o->columns_option->count() > 0) {
      if (o->format != "latex")
        throw usage_error("--columns chooses the LaTeX table's columns; " + o->format +
                          " keeps every column");
      try {
        o->columns = results_columns_named(o->columns_given);
      } catch (const std::invalid_argument& e) {
        throw usage_error(e.what());
      }
    }
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
                      if (o->format == "latex") write_results_latex(text, r, o->columns);
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
                        s.say(r.solvers.empty()
                                  ? "no certificate in " + o->out
                                  : std::to_string(r.infeasible.size()) + " infeasible, " +
                                        std::to_string(r.missing.size()) + " missing");
                        return status_problems;
                      }
                      return status_ok;
                    }};
  };
}

}  // namespace sheetkit
