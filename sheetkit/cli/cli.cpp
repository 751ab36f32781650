#include "cli/cli.h"

#include <sheetgen/version.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_errors.h"
#include "cli/usage_error.h"
#include "files/output_folder.h"

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

// A command that runs, as CLI11 knows it, with what prepares its work.
struct runnable {
  CLI::App* app;
  std::function<prepared()> prepare;
};

// Every command of `table` under `parent`, groups with their own commands.
void add_commands(CLI::App& parent, std::span<const command> table,
                  std::vector<runnable>& runnables) {
  for (const command& c : table) {
    CLI::App* sub = parent.add_subcommand(c.name, c.description);
    sub->group("Commands");
    // Set on every command: CLI11 would give it its parent's footer, the
    // whole group's overview or the paragraph on answers files.
    if (c.footer == nullptr) {
      sub->footer("");
    } else if (*c.footer == '\0') {
      sub->footer(std::string(exit_statuses));
    } else {
      sub->footer(c.footer + std::string("\n\n") + std::string(exit_statuses));
    }
    if (c.group.empty()) {
      runnables.push_back({sub, c.setup(*sub)});
    } else {
      sub->require_subcommand(1);
      add_commands(*sub, c.group, runnables);
    }
  }
}

// sheetkit's options, help and commands on `app`.
void describe(CLI::App& app, std::span<const command> table, std::vector<runnable>& runnables) {
  app.description(
      "Reads the instance and defect files that sheetgen writes: checks them, describes\n"
      "them, draws them, exports them for other programs, or verifies them against the\n"
      "run's answers.");
  auto formatter = std::make_shared<plain_formatter>();
  formatter->column_width(20);
  formatter->label("SUBCOMMAND", "COMMAND");
  app.formatter(formatter);
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("sheetkit ") + sheetgen::version,
                       "Print the version and exit (the same as sheetkit version)");
  app.footer(
      "Give a run by its answers file wherever you have it: it names the files and tells\n"
      "the object, the counts, the bounds and the defect sizes to check against.\n\n" +
      std::string(exit_statuses));
  add_commands(app, table, runnables);
}

// Parses the command line into `chosen`; the exit status instead when the
// parse itself answers (--help, --version) or the command line is wrong.
std::optional<int> parse(CLI::App& app, std::vector<runnable>& runnables, int argc,
                         const char* const* argv, std::ostream& out, std::ostream& err,
                         const runnable*& chosen) {
  const auto parsed = [&] {
    return &*std::find_if(runnables.begin(), runnables.end(),
                          [](const runnable& r) { return r.app->parsed(); });
  };
  try {
    app.parse(argc, argv);
    chosen = parsed();
    check_values(*chosen->app);
    return std::nullopt;
  } catch (const CLI::Success& e) {  // --help, --version
    app.exit(e, out, err);
    if (out.flush()) return status_ok;
    write_message(err, "sheetkit: ", "cannot write to standard output");
    return status_problems;
  } catch (const CLI::ParseError& e) {
    write_message(err, "", usage_message(e, app, argc, argv));
    return status_usage;
  } catch (const usage_error& e) {
    write_message(err, message_prefix(*chosen->app), e.what());
    return status_usage;
  }
}

// Standard output as a command writes it at a terminal: the progress line on
// standard error goes before any of it, so that no text lands on top of it.
class clearing_buffer : public std::streambuf {
 public:
  clearing_buffer(std::streambuf* to, command_progress& line) : to_(to), line_(line) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    line_.clear();
    return to_->sputc(traits_type::to_char_type(c));
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    line_.clear();
    return to_->sputn(s, n);
  }
  int sync() override { return to_->pubsync(); }

 private:
  std::streambuf* to_;
  command_progress& line_;
};

// Prepares the command (what it needs, checked before anything is read:
// usage errors) and does its work.
int run(const runnable& command, std::ostream& given_out, std::ostream& err, bool terminal) {
  const std::string prefix = message_prefix(*command.app);
  prepared job;
  try {
    job = command.prepare();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    write_message(err, prefix, e.what());
    return status_usage;
  }
  const std::string name = command_path(*command.app);
  command_progress shown(name, err, terminal, job.run);
  clearing_buffer clearing(given_out.rdbuf(), shown);
  std::ostream cleared(&clearing);
  // Only a terminal shows the line: elsewhere the output goes straight on.
  std::ostream& out = terminal && given_out.rdbuf() != nullptr ? cleared : given_out;
  session s{out, err, shown, prefix, job.run};
  try {
    const int status = job.work(job.run, s);
    // A report that never arrived (a full disk, a closed pipe) is no success.
    if (out.flush() && given_out.flush()) return status;
    s.say("cannot write to standard output");
    return status_problems;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const usage_error& e) {
    s.error(e);
    return status_usage;
  } catch (const folder_refused& e) {
    s.error(e);
    return status_usage;
  } catch (const std::exception& e) {
    s.error(e);
    return status_problems;
  }
}

}  // namespace

int sheetkit_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                  bool terminal) {
  return sheetkit_main(commands(), argc, argv, out, err, terminal);
}

int sheetkit_main(std::span<const command> table, int argc, const char* const* argv,
                  std::ostream& out, std::ostream& err, bool terminal) {
  // "sheetkit help [COMMAND ...]" is that command's --help, as git and cargo
  // have it.
  std::vector<const char*> asked;
  if (argc >= 2 && std::string_view(argv[1]) == "help") {
    asked.push_back(argv[0]);
    for (int i = 2; i < argc; ++i) asked.push_back(argv[i]);
    asked.push_back("--help");
    argc = static_cast<int>(asked.size());
    argv = asked.data();
  }
  try {
    CLI::App app("", "sheetkit");
    std::vector<runnable> runnables;
    describe(app, table, runnables);
    const runnable* chosen = nullptr;
    const std::optional<int> answered = parse(app, runnables, argc, argv, out, err, chosen);
    return answered ? *answered : run(*chosen, out, err, terminal);
  } catch (const std::bad_alloc&) {
    write_message(err, "sheetkit: ", "not enough memory");
    return status_problems;
  } catch (const std::exception& e) {
    write_message(err, "sheetkit: ", e.what());
    return status_problems;
  }
}

}  // namespace sheetkit
