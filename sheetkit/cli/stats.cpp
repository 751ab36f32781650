#include "figures/stats.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/builtins.h"
#include "cli/cli_errors.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "figures/paper_table.h"
#include "figures/stats_writer.h"
#include "figures/table_figures.h"
#include "files/files.h"
#include "files/held_to_answers.h"
#include "files/instance_reader.h"
#include "files/read_ahead.h"
#include "files/run_files.h"
#include "suites/suite_contents.h"
#include "text/json_format.h"
#include "text/suggest.h"
#include "text/text.h"

namespace sheetkit {

namespace {

struct stats_options {
  run_options source;
  bool per_instance = false;
  bool json = false;
  std::string format = "text";
  CLI::Option* format_given = nullptr;
  std::string suite;
  std::string columns_given;  // as typed: names separated by commas
  CLI::Option* columns_option = nullptr;
  std::vector<std::string> columns;  // the paper table's, for people; empty: the format's own
  copies_option copies;              // for the bounds
  bool rotation = false;
  stats_bound_rules bound_rules;  // parsed from them
};

const std::vector<std::string> stats_formats = {"text", "json", "csv", "latex"};

// The paper table in `format` (not "text" for a single run: stats' own
// table); `columns` for people, or empty for the format's own.
void write_paper_table(std::ostream& out, const std::string& format, const paper_table& table,
                       const std::vector<std::string>& columns) {
  if (format == "text") {
    write_table_text(out, table, columns.empty() ? all_table_columns() : columns);
  } else if (format == "json") {
    out << json_text(table_json(table), 2) << '\n';
  } else if (format == "csv") {
    write_table_csv(out, table);
  } else {
    write_table_latex(out, table, columns.empty() ? paper_table_columns() : columns);
  }
}

// Passes over parts of a run at the same time, shown as one pass: the
// first part, which runs on the calling thread, shows what all have done.
std::vector<instance_pass> shown_together(std::vector<instance_pass> parts, session& s,
                                          int64_t total) {
  struct done {
    std::atomic<int64_t> instances{0};
    std::atomic<int64_t> lines{0};
  };
  auto all = std::make_shared<done>();
  sheetgen::progress_callback show = s.shown.callback();
  for (std::size_t k = 0; k < parts.size(); ++k) {
    parts[k] = [all, show, total, first = k == 0, part = std::move(parts[k])](const auto& visit) {
      if (first) show({"stats", 0, total, 0, "lines"});
      part([&](const instance& in) {
        visit(in);
        const int64_t instances = ++all->instances;
        const int64_t lines = all->lines += static_cast<int64_t>(in.items.size());
        if (first) show({"stats", instances, total, lines, "lines"});
      });
    };
  }
  return parts;
}

int stats_work(const run_info& run, const stats_options& o, session& s) {
  if (!o.suite.empty()) {
    const suite_contents suite = read_suite_contents(o.suite);
    // Sets read at once, each with its own few MiB.
    const unsigned jobs = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    const paper_table table = suite_table(suite, s.shown.callback(), jobs);
    s.shown.clear();
    if (o.format == "json") {
      const nlohmann::ordered_json about = {{"suite", suite.definition.name},
                                            {"manifest_sha256", suite.manifest_sha256}};
      s.out << json_text(table_json(table, about), 2) << '\n';
      return status_ok;
    }
    if (o.format == "text") {
      s.out << "suite " << suite.definition.name << ", manifest sha256 " << suite.manifest_sha256
            << "\n\n";
    } else if (o.format == "latex") {
      s.out << "% Suite " << suite.definition.name << ", manifest sha256 " << suite.manifest_sha256
            << ".\n";
    }
    write_paper_table(s.out, o.format, table, o.columns);
    return status_ok;
  }
  if (o.format == "csv" || o.format == "latex") {
    const paper_table table = run_table(run, s.shown.shown(held_to_answers(file_pass(run), run)));
    s.shown.clear();
    write_paper_table(s.out, o.format, table, o.columns);
    return status_ok;
  }
  const int64_t instances = run.answers ? run.answers->no_instances : -1;
  run_files files(run, instances);
  const std::unique_ptr<stats_writer> writer =
      o.format == "json" ? json_stats_writer(s.out, run) : text_stats_writer(s.out, run);
  // Parts of a pass each hold their own buffers and counts: a few at most,
  // for a few MiB in all.
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  const int64_t total = std::max<int64_t>(instances, 0);
  stats_source source;
  source.first = [&](bool in_order) -> std::vector<instance_pass> {
    // The instances' lines show how far the first pass is; a progress line
    // would cut into them on a terminal.
    const instance_pass in_files_order = held_to_answers(files.pass(), run);
    if (o.per_instance) return {read_ahead(in_files_order)};
    // Reading takes a core of its own, and the work on what is read another.
    if (in_order) return {s.shown.shown(read_ahead(in_files_order))};
    std::vector<instance_pass> parts = files.first_parts(cores);
    if (parts.size() == 1) return {s.shown.shown(read_ahead(in_files_order))};
    for (instance_pass& part : parts) part = part_held_to_answers(std::move(part), run);
    return shown_together(std::move(parts), s, total);
  };
  source.again = [&] { return shown_together(files.item_parts(cores), s, total); };
  stats_rows rows;
  if (o.per_instance) rows = [&](const instance_stats& r) { writer->row(r); };
  const run_stats stats = compute_stats(run, source, rows, o.bound_rules);
  s.shown.clear();
  writer->summary(stats);
  if (files.beyond().empty()) return status_ok;
  s.out.flush();
  s.say("the figures are of the " + count_of(stats.instances, "instance") +
        " the answers ask for, and the files go on after them: " + files.beyond());
  return status_problems;
}

// --columns' names as the paper table's columns: the CSV's, "object" and
// "all"; the first CSV name (class or run) may be given, and stays first.
std::vector<std::string> paper_columns_named(const std::string& given) {
  try {
    return columns_named(given, {table_column_names(),
                                 all_table_columns(),
                                 {"class", "run"},
                                 "(the CSV's header names them; object and all too)",
                                 "the name"});
  } catch (const std::invalid_argument& e) {
    throw usage_error(e.what());
  }
}

// --format against --json, --per-instance and the run's source.
void check_stats(stats_options& o) {
  check_choice(*o.format_given, o.format);
  o.bound_rules.copies = o.copies.count();
  o.bound_rules.rotation = o.rotation;
  if ((o.copies.given() || o.rotation) &&
      (!o.suite.empty() || o.format == "csv" || o.format == "latex"))
    throw usage_error(
        "--copies and --rotation are for the bounds of a single run in --format "
        "text or json");
  if (o.json) {
    if (o.format_given->count() > 0 && o.format != "json")
      throw usage_error("--json is --format json; give one of them, not --format " + o.format);
    o.format = "json";
  }
  if (o.per_instance && (!o.suite.empty() || o.format == "csv" || o.format == "latex")) {
    throw usage_error(
        "--per-instance is for a single run in --format text or json; a table has a row per "
        "class or run");
  }
  if (!o.suite.empty() && (!o.source.answers.empty() || !o.source.object.empty()))
    throw usage_error("--suite DIR takes the runs of the suite; leave out --answers and --object");
  if (o.columns_option->count() == 0) return;
  if (o.format == "csv" || o.format == "json")
    throw usage_error(
        "--columns chooses what people see (text and latex); csv and json keep every "
        "column");
  if (o.suite.empty() && o.format == "text")
    throw usage_error("--columns is for the paper table: --suite DIR, or --format latex for a run");
  o.columns = paper_columns_named(o.columns_given);
}

}  // namespace

std::function<prepared()> setup_stats(CLI::App& app) {
  auto o = std::make_shared<stats_options>();
  o->source.add_to(app);
  app.add_option("--suite", o->suite, "A made suite: one row per class, over its completed sets")
      ->type_name("DIR");
  o->format_given = with_choices(
      app.add_option("--format", o->format,
                     "text (default), json, csv or latex (csv and latex: the paper table)")
          ->type_name("FORMAT"),
      stats_formats);
  app.add_flag("--per-instance", o->per_instance,
               "Also a line for every instance, as it is read, before the run's figures");
  app.add_flag("--json", o->json, "The same as --format json");
  o->copies.add_to(app, "The bounds' copies of each item type (default 1)");
  app.add_flag("--rotation", o->rotation, "The bounds let items be turned by 90 degrees");
  o->columns_option =
      app.add_option("--columns", o->columns_given,
                     "The paper table's columns in text and latex: the CSV's names, object, all")
          ->type_name("NAME,...");
  return [o] {
    check_stats(*o);
    run_info run = o->suite.empty() ? o->source.run() : run_info{};
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return stats_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
