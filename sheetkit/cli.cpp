#include "cli.h"

#include <sheetgen/version.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands.h"

namespace sheetkit {

namespace {

// Options as a user reads them: "--object LENGTHxWIDTH INSTANCE_FILE
// [DEFECT_FILE]", without CLI11's value counts and exclusion lists.
class plain_formatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* opt) const override {
    if (opt->get_type_size() == 0 || opt->get_type_name().empty()) return "";
    return " " + opt->get_type_name();
  }
};

constexpr std::string_view exit_statuses =
    "Exit status: 0 done (check: no problems; verify: identical), 1 problems found or\n"
    "the command failed, 2 wrong usage (command line or answers file).";

const command* find_command(std::string_view name) {
  for (const command& c : commands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

std::string command_names() {
  std::string names;
  for (const command& c : commands()) names += (names.empty() ? "" : ", ") + std::string(c.name);
  return names;
}

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
    app.set_version_flag("--version", std::string("sheetkit ") + sheetgen::version);
    app.footer(
        "Give a run by its answers file wherever you have it: it names the files and tells\n"
        "the object, the counts, the bounds and the defect sizes to check against.\n\n" +
        std::string(exit_statuses));

    std::vector<std::pair<CLI::App*, std::function<prepared()>>> subcommands;
    for (const command& c : commands()) {
      CLI::App* sub = app.add_subcommand(c.name, c.description);
      if (*c.footer != '\0') {
        sub->footer(c.footer + std::string("\n\n") + std::string(exit_statuses));
      }
      subcommands.emplace_back(sub, c.setup(*sub));
    }

    // CLI11 would only say that a command is missing.
    if (argc > 1 && argv[1][0] != '-' && find_command(argv[1]) == nullptr) {
      err << "sheetkit: unknown command \"" << argv[1] << "\" (commands: " << command_names()
          << ")\nRun with --help for more information.\n";
      return status_usage;
    }
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      return app.exit(e, out, err) == 0 ? status_ok : status_usage;
    }

    // What the command needs, before anything is read: usage errors.
    const auto chosen = std::find_if(subcommands.begin(), subcommands.end(),
                                     [](const auto& sub) { return sub.first->parsed(); });
    const std::string name = chosen->first->get_name();
    prepared job;
    try {
      job = chosen->second();
    } catch (const std::exception& e) {
      err << "sheetkit " << name << ": " << e.what() << '\n';
      return status_usage;
    }

    command_progress shown(name, err, terminal, job.run);
    try {
      session s{out, err, shown};
      const int status = job.work(job.run, s);
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
