#include "suites/suite_report.h"

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/builtins.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "files/output_path.h"
#include "suites/suite_files.h"

namespace sheetkit {

std::function<prepared()> setup_suite_report(CLI::App& report) {
  struct options {
    std::string dir;
    std::string file;
    CLI::Option* file_given = nullptr;
    int jobs = default_jobs();
  };
  auto o = std::make_shared<options>();
  report.add_option("DIR", o->dir, "The suite's folder")->required()->type_name("");
  o->file_given = report
                      .add_option("-o,--output", o->file,
                                  "The page's file (default DIR/index.html); - for standard output")
                      ->type_name("FILE");
  add_jobs_option(report, o->jobs,
                  "Sets read at once for the figures (default: the hardware threads)");
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
                      return status_ok;
                    }};
  };
}

}  // namespace sheetkit
