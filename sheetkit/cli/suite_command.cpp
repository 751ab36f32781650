#include "cli/suite_command.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <optional>
#include <string>
#include <thread>

#include "files/output_path.h"
#include "suites/suite_make.h"
#include "suites/suite_files.h"
#include "suites/suite_report.h"
#include "suites/suite_verify.h"
#include "cli/usage_error.h"

namespace sheetkit {

const char* const suite_footer =
    "make writes DIR/suite.json, a copy of the JSON file, each set to DIR/CLASS/sSEED/\n"
    "(answers.txt, instances.txt, defects.txt), then DIR/SHA256SUMS, DIR/index.html, the page\n"
    "that report writes, and last DIR/manifest.tsv: where it stands, the suite is complete.\n"
    "Making again keeps the complete sets and does the rest; one make at a time in DIR.\n"
    "--shard K/N takes the pieces of the suite's order (classes as the file lists them,\n"
    "seeds in order) at the 1-based positions p with (p - 1) mod N = K - 1;\n"
    "a piece is one set, or a whole class with \"complete\": true, whose seeds depend on\n"
    "which runs abort. A shard writes no manifest: a last make without --shard does,\n"
    "once every shard is done. verify --shard K/N checks the same sets and their lines\n"
    "in the manifest and SHA256SUMS; shard 1 also looks for what belongs to no set.\n"
    "report reads a made suite; its page gives the manifest's SHA-256 to cite, the\n"
    "commands that verify the suite, the table of stats --suite and each class's pictures.";

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
  make.add_option("SPEC", o->json, "The suite's JSON file")->required()->type_name("");
  make.add_option("-o,--output", o->dir, "The suite's folder (made if missing)")
      ->type_name("DIR")
      ->required();
  add_common(make, *o);
  make.add_flag("--force", o->force, "DIR may hold the suite of another SPEC: make this one");
  return [o] {
    auto maker = std::make_shared<suite_maker>(suite_make_options{
        o->json, o->dir, o->jobs, suite_shard::parse(o->shard), o->force});
    return prepared{{}, [maker](const run_info&, session& s) {
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
