#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "check.h"
#include "draw.h"
#include "export.h"
#include "files.h"
#include "progress.h"
#include "source.h"
#include "stats.h"
#include "text.h"
#include "verify.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

// Something on the command line (or in the answers file) that keeps the
// command from starting: status 2.
struct usage_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Options as a user reads them: "--object LENGTHxWIDTH INSTANCE_FILE
// [DEFECT_FILE]", without CLI11's value counts and exclusion lists.
class plain_formatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* opt) const override {
    if (opt->get_type_size() == 0 || opt->get_type_name().empty()) return "";
    return " " + opt->get_type_name();
  }
};

// Where a command's run comes from.
struct run_options {
  std::string answers;
  std::vector<std::string> object;

  void add_to(CLI::App& command) {
    CLI::Option* a =
        command.add_option("--answers", answers, "The run's answers, as piped into sheetgen");
    a->type_name("FILE");
    command.add_option("--object", object, "Without answers: the object's size and the files")
        ->expected(2, 3)
        ->type_name("LENGTHxWIDTH INSTANCE_FILE [DEFECT_FILE]")
        ->excludes(a);
  }

  run_info run() const {
    if (!answers.empty()) return run_from_answers(answers);
    if (object.empty()) {
      throw usage_error(
          "give --answers FILE, or --object LENGTHxWIDTH INSTANCE_FILE [DEFECT_FILE]");
    }
    rectangle size;
    try {
      size = parse_object(object[0]);
    } catch (const sheetgen::error& e) {
      throw usage_error(std::string("--object: ") + e.what());
    }
    return run_from_object(size, object[1], object.size() > 2 ? object[2] : "");
  }
};

// "1-4,7" as ranges, in the order given.
std::vector<std::pair<int64_t, int64_t>> parse_instance_list(std::string_view text) {
  const auto bad = [&] {
    return usage_error("--instances: expected numbers and ranges such as 1-4,7, not \"" +
                       std::string(text) + "\"");
  };
  const auto number = [&](std::string_view digits) {
    const std::optional<int64_t> value = parse_positive(digits);
    if (!value) throw bad();
    return *value;
  };
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    const int64_t first = number(item.substr(0, dash));
    const int64_t last = dash == std::string_view::npos ? first : number(item.substr(dash + 1));
    if (last < first) throw bad();
    ranges.emplace_back(first, last);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return ranges;
}

// The instance file's blocks, when no answers tell how many there are.
int64_t count_instances(const run_info& run) {
  std::ifstream in = open_input(run.instance_file);
  sheetgen::instance_reader reader(in, run.instance_file);
  std::vector<rectangle> items;
  int64_t n = 0;
  while (reader.next(items)) ++n;
  return n;
}

// A command's progress line, fed by the command's passes.
class progress {
 public:
  progress(std::ostream& err, bool terminal, const run_info& run)
      : line_(err, terminal), total_(run.answers ? run.answers->no_instances : 0) {}

  progress_hook hook() {
    return [this](int64_t instances, int64_t lines, const char* unit) {
      if (instances == 0) {
        line_.start(total_, unit);
      } else {
        line_.update(instances, lines);
      }
    };
  }

  // Every pass that `pass` makes, shown as it goes.
  instance_pass shown(instance_pass pass) {
    return [this, pass = std::move(pass)](const std::function<void(const instance&)>& visit) {
      // Lines of both files: a run may be mostly defects.
      line_.start(total_, "lines");
      int64_t lines = 0;
      pass([&](const instance& in) {
        visit(in);
        lines += static_cast<int64_t>(in.items.size() + in.defects.size());
        line_.update(in.number, lines);
      });
    };
  }

  void clear() { line_.clear(); }

 private:
  sheetgen::progress_line line_;
  int64_t total_;
};

int command_check(const run_info& run, std::ostream& out, progress& shown) {
  // Held back until the progress line is gone: both may share a terminal.
  // At most 21 lines.
  std::ostringstream report;
  const int64_t problems = check_files(run, report, shown.hook());
  shown.clear();
  out << report.str();
  return problems == 0 ? status_ok : status_problems;
}

int command_stats(const run_info& run, bool per_instance, bool json, std::ostream& out,
                  progress& shown) {
  const run_stats stats = compute_stats(run, shown.shown(file_pass(run)), per_instance);
  shown.clear();
  if (json) {
    out << to_json(stats).dump(2) << '\n';
  } else {
    write_text(out, stats);
  }
  return status_ok;
}

int command_draw(const run_info& run, const std::vector<std::pair<int64_t, int64_t>>& ranges,
                 bool list_given, const fs::path& dir, std::ostream& out, std::ostream& err,
                 progress& shown) {
  const int64_t count = run.answers ? run.answers->no_instances : count_instances(run);
  std::vector<int64_t> chosen;
  bool clipped = false;
  for (const auto& [first, last] : ranges) {
    for (int64_t n = first; n <= std::min(last, count); ++n) chosen.push_back(n);
    clipped = clipped || last > count;
  }
  const std::vector<fs::path> written = draw(run, shown.shown(file_pass(run)), chosen, dir);
  shown.clear();
  if (clipped && list_given) {
    err << "draw: the run has " << count_of(count, "instance") << "; the others are left out\n";
  }
  for (const fs::path& file : written) out << file.string() << '\n';
  return status_ok;
}

int command_export(const run_info& run, const std::string& to, const std::string& where,
                   std::ostream& out, progress& shown) {
  // JSON on standard output would mix with the progress line on a terminal.
  if (to == "json" && where == "-") {
    export_json(run, file_pass(run), out);
    return status_ok;
  }
  int64_t instances = 0;
  const instance_pass counted = [&, pass = shown.shown(file_pass(run))](const auto& visit) {
    instances = 0;
    pass([&](const instance& in) {
      ++instances;
      visit(in);
    });
  };
  if (to == "packingsolver") {
    export_packingsolver(run, counted, where);
    shown.clear();
    const fs::path dir(where);
    out << (dir / "instance_1").string();
    if (instances > 1) out << " to " << (dir / ("instance_" + std::to_string(instances))).string();
    out << " (" << count_of(instances, "instance") << ": items.csv, bins.csv, defects.csv each)\n";
    return status_ok;
  }
  fs::path file(where);
  if (file.extension() != ".json") {
    std::error_code failed;
    fs::create_directories(file, failed);
    if (failed) throw sheetgen::error("Cannot create folder " + file.string() + "!");
    file /= "run.json";
  }
  export_json(run, counted, file);
  shown.clear();
  out << file.string() << '\n';
  return status_ok;
}

int command_verify(const run_info& run, std::ostream& out, progress& shown) {
  // Held back like check's.
  std::ostringstream report;
  const bool same = verify_run(*run.answers, report, shown.hook());
  shown.clear();
  out << report.str();
  return same ? status_ok : status_problems;
}

constexpr std::string_view exit_statuses =
    "Exit status: 0 done (check: no problems; verify: identical), 1 problems found or\n"
    "the command failed, 2 wrong usage (command line or answers file).";

constexpr std::string_view commands[] = {"check", "stats", "draw", "export", "verify"};

}  // namespace

int sheetkit_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                  bool terminal) {
  try {
    CLI::App app(
        "Reads the instance and defect files that sheetgen writes: checks them, describes\n"
        "them, draws them, exports them for other programs, or verifies them against the\n"
        "run's answers.",
        "sheetkit");
    auto formatter = std::make_shared<plain_formatter>();
    formatter->column_width(20);
    app.formatter(formatter);
    app.require_subcommand(1);
    app.footer(
        "Give a run by its answers file wherever you have it: it names the files and tells\n"
        "the object, the counts, the bounds and the defect sizes to check against.\n\n" +
        std::string(exit_statuses));

    run_options check_run;
    CLI::App* check = app.add_subcommand(
        "check", "Check both files strictly: each problem as FILE:LINE: message");
    check->footer(
        "Always checked: the form of every line, area = length x width, every defect inside\n"
        "the object, the same number of blocks in both files, a file cut short. With\n"
        "--answers also: the area bounds, the numbers of instances, item types and defects,\n"
        "and every defect's size. At most 20 problems are listed, then their number.\n\n" +
        std::string(exit_statuses));
    check_run.add_to(*check);

    run_options stats_run;
    bool per_instance = false;
    bool json = false;
    CLI::App* stats =
        app.add_subcommand("stats", "Figures on item areas and shapes and on the defects");
    stats_run.add_to(*stats);
    stats->add_flag("--per-instance", per_instance, "Also a line for every instance");
    stats->add_flag("--json", json, "JSON instead of the table");

    run_options draw_run;
    std::string draw_dir;
    std::string instance_list = "1-4";
    CLI::App* draw =
        app.add_subcommand("draw", "SVG pictures of instances, of all defects, of item shapes");
    draw_run.add_to(*draw);
    draw->add_option("-o,--output", draw_dir, "Folder for the pictures (created if missing)")
        ->type_name("DIR")
        ->required();
    CLI::Option* list_option = draw->add_option("--instances", instance_list,
                                                "Instances to draw, such as 1-4,7 (default 1-4)")
                                   ->type_name("LIST");

    run_options export_run;
    std::string export_to;
    std::string export_where;
    CLI::App* exporter =
        app.add_subcommand("export", "The run as PackingSolver CSV files or one JSON document");
    export_run.add_to(*exporter);
    exporter->add_option("--to", export_to, "What to write")
        ->type_name("FORMAT")
        ->required()
        ->check(CLI::IsMember({"packingsolver", "json"}));
    exporter
        ->add_option("-o,--output", export_where,
                     "A folder; for json also FILE.json, or - for stdout")
        ->type_name("PATH")
        ->required();

    std::string verify_answers;
    CLI::App* verifier =
        app.add_subcommand("verify", "Generate the run again and compare it with the files");
    verifier->footer(
        "Compares byte for byte as it generates, in constant memory, and shows the first\n"
        "line that differs in each file. Answers whose run ends in the repair failure are\n"
        "held to what sheetgen leaves then: the blocks before it, and no defect file.\n\n" +
        std::string(exit_statuses));
    verifier->add_option("--answers", verify_answers, "The run's answers, as piped into sheetgen")
        ->type_name("FILE")
        ->required();

    // CLI11 would only say that a command is missing.
    if (argc > 1 && argv[1][0] != '-' &&
        std::find(std::begin(commands), std::end(commands), argv[1]) == std::end(commands)) {
      err << "sheetkit: unknown command \"" << argv[1]
          << "\" (commands: check, stats, draw, export, verify)\nRun with --help for more "
             "information.\n";
      return status_usage;
    }
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      return app.exit(e, out, err) == 0 ? status_ok : status_usage;
    }

    // What the command needs, before anything is read: usage errors.
    run_info run;
    std::vector<std::pair<int64_t, int64_t>> ranges;
    try {
      if (check->parsed()) run = check_run.run();
      if (stats->parsed()) run = stats_run.run();
      if (draw->parsed()) {
        run = draw_run.run();
        ranges = parse_instance_list(instance_list);
      }
      if (exporter->parsed()) run = export_run.run();
      if (verifier->parsed()) run = run_from_answers(verify_answers);
    } catch (const std::exception& e) {
      const CLI::App* command = app.get_subcommands().front();
      err << "sheetkit " << command->get_name() << ": " << e.what() << '\n';
      return status_usage;
    }

    progress shown(err, terminal, run);
    try {
      int status = status_ok;
      if (check->parsed()) {
        status = command_check(run, out, shown);
      } else if (stats->parsed()) {
        status = command_stats(run, per_instance, json, out, shown);
      } else if (draw->parsed()) {
        status = command_draw(run, ranges, list_option->count() > 0, draw_dir, out, err, shown);
      } else if (exporter->parsed()) {
        status = command_export(run, export_to, export_where, out, shown);
      } else {
        status = command_verify(run, out, shown);
      }
      // A report that never arrived (a full disk, a closed pipe) is no success.
      if (!out.flush()) {
        err << "sheetkit: cannot write to standard output\n";
        return status_problems;
      }
      return status;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      shown.clear();
      err << e.what() << '\n';
      return status_problems;
    }
  } catch (const std::bad_alloc&) {
    err << "sheetkit: not enough memory\n";
    return status_problems;
  } catch (const std::exception& e) {
    err << "sheetkit: " << e.what() << '\n';
    return status_problems;
  }
}

}  // namespace sheetkit
