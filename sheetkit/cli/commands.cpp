#include "cli/commands.h"

#include <sheetgen/version.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli/cli_errors.h"
#include "cli/generate_command.h"
#include "cli/run_options.h"
#include "cli/solution_command.h"
#include "cli/suite_command.h"
#include "cli/usage_error.h"
#include "families/recipe.h"
#include "families/recipe_verify.h"
#include "figures/paper_table.h"
#include "figures/stats.h"
#include "figures/stats_writer.h"
#include "figures/table_figures.h"
#include "files/files.h"
#include "files/held_to_answers.h"
#include "files/instance_reader.h"
#include "files/output_folder.h"
#include "files/output_path.h"
#include "files/read_ahead.h"
#include "files/run_files.h"
#include "files/source.h"
#include "formats/export.h"
#include "formats/field_exports.h"
#include "inspect/check.h"
#include "inspect/verify.h"
#include "pictures/draw.h"
#include "suites/suite_contents.h"
#include "text/suggest.h"
#include "text/text.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

// The instance file's blocks, when no answers tell how many there are.
int64_t count_instances(const instance_pass& pass) {
  int64_t n = 0;
  pass([&](const instance&) { ++n; });
  return n;
}

// The files a command reads, which replacing its -o folder must not delete.
std::vector<std::string> files_read(const run_options& source, const run_info& run) {
  return {source.answers, source.recipe, run.instance_file, run.defect_file, run.value_file};
}

int check_work(const run_info& run, session& s) {
  // Held back until the progress line is gone: both may share a terminal.
  // At most 21 lines.
  std::ostringstream report;
  const auto unreadable = [&](const file_error& e) { s.error(e); };
  const int64_t problems = check_files(run, report, unreadable, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return problems == 0 ? status_ok : status_problems;
}

std::function<prepared()> setup_check(CLI::App& app) {
  auto source = std::make_shared<run_options>();
  source->add_to(app);
  return [source] { return prepared{source->run(), check_work}; };
}

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
  std::string copies = "1";          // --copies N|unlimited, for the bounds
  CLI::Option* copies_given = nullptr;
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
    out << table_json(table).dump(2) << '\n';
  } else if (format == "csv") {
    write_table_csv(out, table);
  } else {
    write_table_latex(out, table, columns.empty() ? paper_table_columns() : columns);
  }
}

// One row for the run, in the columns of a suite's table.
paper_table run_table(const run_info& run, const instance_pass& pass) {
  table_row row;
  row.name = run.instance_file;
  row.sets = 1;
  row.length = run.object.length;
  row.width = run.object.width;
  if (run.answers) {
    row.lower = shortest_text(run.answers->minrelsize);
    row.upper = shortest_text(run.answers->maxrelsize);
  }
  compute_figures(row, pass);
  return {false, {std::move(row)}};
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
      s.out << table_json(table, about).dump(2) << '\n';
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
  const std::vector<std::string> known = table_column_names();
  std::vector<std::string> names;
  std::string_view rest = given;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string name(rest.substr(0, comma));
    if (name.empty())
      throw usage_error("--columns takes names separated by commas, not \"" + given + "\"");
    if (name == "all") {
      const std::vector<std::string> all = all_table_columns();
      names.insert(names.end(), all.begin(), all.end());
    } else if (std::find(known.begin(), known.end(), name) != known.end()) {
      names.push_back(name);
    } else if (name != "class" && name != "run") {
      std::vector<std::string> candidates = known;
      candidates.push_back("all");
      const std::optional<std::string> guess = nearest(name, candidates);
      throw usage_error("--columns: no column is named \"" + name + "\"" +
                        (guess ? "; did you mean " + *guess + "?"
                               : " (the CSV's header names them; object and all too)"));
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  for (std::size_t k = 0; k < names.size(); ++k)
    if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(k), names[k]) !=
        names.begin() + static_cast<std::ptrdiff_t>(k))
      throw usage_error("--columns names " + names[k] + " twice");
  if (names.empty()) throw usage_error("--columns: give a column besides the name");
  return names;
}

// --format against --json, --per-instance and the run's source.
void check_stats(stats_options& o) {
  check_choice(*o.format_given, o.format);
  if (o.copies == "unlimited") {
    o.bound_rules.copies = -1;
  } else if (const std::optional<int64_t> n = parse_positive(o.copies)) {
    o.bound_rules.copies = *n;
  } else {
    throw usage_error("--copies takes a positive number or unlimited, not \"" + o.copies + "\"");
  }
  o.bound_rules.rotation = o.rotation;
  if ((o.copies_given->count() > 0 || o.rotation) &&
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
  o->copies_given =
      app.add_option("--copies", o->copies, "The bounds' copies of each item type (default 1)")
          ->type_name("N|unlimited");
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

struct draw_options {
  run_options source;
  std::string dir;
  bool force = false;
  std::string instances = "1-4";
  bool bare = false;
  CLI::Option* instances_given = nullptr;
  std::vector<std::pair<int64_t, int64_t>> ranges;  // parsed from `instances`
  std::optional<output_folder> folder;
};

// What draw writes into its folder, as output_folder's patterns.
const std::vector<std::string> draw_names = {"instance_#.svg", "defects.svg", "items.svg"};

int draw_work(const run_info& run, draw_options& o, session& s) {
  run_files files(run);
  const int64_t count = run.answers ? run.answers->no_instances : count_instances(files.pass());
  std::vector<int64_t> chosen;
  bool clipped = false;
  for (const auto& [first, last] : o.ranges) {
    for (int64_t n = first; n <= std::min(last, count); ++n) chosen.push_back(n);
    // An open range asks for whatever there is.
    clipped = clipped || (last > count && last != std::numeric_limits<int64_t>::max());
  }
  const bool asked = o.instances_given->count() > 0;
  if (asked && chosen.empty()) {
    throw usage_error("--instances " + o.instances + ": the run has " +
                      count_of(count, "instance") +
                      (count == 0 ? "" : "; choose among 1-" + std::to_string(count)));
  }
  const std::vector<fs::path> written = draw(run, s.shown.shown(held_to_answers(files.pass(), run)),
                                             chosen, o.folder->begin(), o.bare);
  o.folder->commit();
  s.shown.clear();
  if (clipped && asked) {
    s.say("the run has " + count_of(count, "instance") + "; the others are left out");
  }
  for (const fs::path& file : written)
    s.out << (o.folder->path() / file.filename()).string() << '\n';
  return status_ok;
}

// -o and --force, as every command that writes a folder has them.
void add_output_options(CLI::App& app, std::string& where, bool& force, const char* type,
                        const char* what) {
  app.add_option("-o,--output", where, what)->type_name(type)->required();
  app.add_flag("--force", force, "Replace the -o folder whole when it is not empty");
}

std::function<prepared()> setup_draw(CLI::App& app) {
  auto o = std::make_shared<draw_options>();
  o->source.add_to(app);
  add_output_options(app, o->dir, o->force, "DIR", "A new folder for the pictures");
  o->instances_given =
      app.add_option("--instances", o->instances,
                     "Instances to draw, such as 1-4,7, 5- (to the last) or all (default 1-4)")
          ->type_name("LIST");
  app.add_flag("--bare", o->bare,
               "Pictures without title and caption, for a figure that has a caption of its own");
  return [o] {
    o->ranges = parse_instance_list(o->instances);
    run_info run = o->source.run();
    o->folder.emplace(o->dir, o->force, files_read(o->source, run), draw_names);
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return draw_work(run, *o, s); }};
  };
}

struct export_options {
  run_options source;
  std::string copies;  // --copies N|unlimited
  bool rotation = false;
  packingsolver_rules rules;
  std::string to;
  CLI::Option* to_given = nullptr;
  std::string where;
  bool force = false;
  bool drop = false;                    // --drop: what the format cannot carry is left out
  std::optional<output_folder> folder;  // unless one file is written
  // The guillotine settings, written into parameters.csv when any is given.
  packingsolver_parameters parameters;
  std::vector<CLI::Option*> parameter_options;
  bool with_parameters = false;
};

const std::vector<std::string> export_formats = {"packingsolver", "json", "jsonl", "roadef2018",
                                                 "2dpacklib"};

field_export_rules field_rules(const export_options& o) {
  field_export_rules r;
  r.copies = o.rules.copies;
  r.rotation = o.rules.rotation;
  r.drop = o.drop;
  return r;
}

// What export --to packingsolver writes into its folder.
const std::vector<std::string> packingsolver_names = {"instance_#/items.csv", "instance_#/bins.csv",
                                                      "instance_#/defects.csv"};

int export_work(const run_info& run, export_options& o, session& s) {
  const bool lines = o.to == "jsonl";
  const auto write_document = [&](const instance_pass& pass, auto&& target) {
    if (lines) {
      export_jsonl(run, pass, target);
    } else {
      export_json(run, pass, target);
    }
  };
  // A document on standard output would mix with the progress line on a terminal.
  if (o.where == "-") {
    write_document(held_to_answers(file_pass(run), run), s.out);
    return status_ok;
  }
  int64_t instances = 0;
  const instance_pass read = s.shown.shown(held_to_answers(file_pass(run), run));
  const instance_pass counted = [&](const auto& visit) {
    instances = 0;
    read([&](const instance& in) {
      ++instances;
      visit(in);
    });
  };
  if (!o.folder) {
    const fs::path file(o.where);
    std::error_code ignored;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ignored);
    write_document(counted, file);
    s.shown.clear();
    s.out << file.string() << '\n';
    return status_ok;
  }
  const fs::path into = o.folder->begin();
  const fs::path dir = o.folder->path();
  if (o.to == "roadef2018" || o.to == "2dpacklib") {
    if (o.to == "roadef2018") {
      export_roadef2018(run, counted, into, field_rules(o));
    } else {
      export_2dpacklib(run, counted, into, field_rules(o));
    }
    o.folder->commit();
    s.shown.clear();
    s.out << dir.string() << " (" << count_of(instances, "instance") << ", " << o.to << ")\n";
    return status_ok;
  }
  if (o.to == "packingsolver") {
    export_packingsolver(run, counted, into, o.rules);
    if (o.with_parameters) {
      const std::string text = packingsolver_parameters_csv(o.parameters);
      for (int64_t k = 1; k <= instances; ++k)
        write_file(into / ("instance_" + std::to_string(k)) / "parameters.csv", text);
    }
    o.folder->commit();
    s.shown.clear();
    if (instances == 0) {
      s.out << dir.string() << " (0 instances)\n";
      return status_ok;
    }
    s.out << (dir / "instance_1").string();
    if (instances > 1) {
      s.out << " to " << (dir / ("instance_" + std::to_string(instances))).string();
    }
    s.out << " (" << count_of(instances, "instance") << ": items.csv, bins.csv, defects.csv"
          << (o.with_parameters ? ", parameters.csv" : "") << " each)\n";
    return status_ok;
  }
  const std::string name = lines ? "run.jsonl" : "run.json";
  write_document(counted, into / name);
  o.folder->commit();
  s.shown.clear();
  s.out << (dir / name).string() << '\n';
  return status_ok;
}

// Checks --to, --copies, --rotation and -o before anything is read.
void check_export(export_options& o, const run_info& run) {
  check_choice(*o.to_given, o.to);
  const bool counts = o.to == "packingsolver" || o.to == "roadef2018" || o.to == "2dpacklib";
  if (!counts && (!o.copies.empty() || o.rotation))
    throw usage_error(
        "--copies and --rotation are for --to packingsolver, roadef2018 and 2dpacklib");
  if (o.drop && o.to != "roadef2018" && o.to != "2dpacklib")
    throw usage_error("--drop is for --to roadef2018 and 2dpacklib, which cannot carry everything");
  for (const CLI::Option* given : o.parameter_options) o.with_parameters |= given->count() > 0;
  if (o.with_parameters && o.to != "packingsolver")
    throw usage_error("the guillotine settings are for --to packingsolver (its parameters.csv)");
  if (o.with_parameters) {
    const auto one_of = [](const std::string& option, const std::string& value,
                           const std::vector<std::string>& known) {
      if (std::find(known.begin(), known.end(), value) == known.end())
        throw usage_error(option + " takes " + known[0] + " or " + known[1] +
                          (known.size() > 2 ? " or " + known[2] : "") + ", not \"" + value + "\"");
    };
    one_of("--cut-type", o.parameters.cut_type, {"non-exact", "exact"});
    one_of("--first-stage-orientation", o.parameters.first_stage_orientation,
           {"vertical", "horizontal", "any"});
  }
  if (!run.value_file.empty() && !o.copies.empty())
    throw usage_error("--copies: the run's value file gives each item type's copies");
  if (o.copies == "unlimited") {
    o.rules.copies = -1;
  } else if (!o.copies.empty()) {
    const std::optional<int64_t> n = parse_positive(o.copies);
    if (!n)
      throw usage_error("--copies takes a positive number or unlimited, not \"" + o.copies + "\"");
    o.rules.copies = *n;
  }
  o.rules.rotation = o.rotation;
  if (o.to == "roadef2018" || o.to == "2dpacklib") {
    if (const std::string why = refusal(o.to, field_rules(o)); !why.empty()) throw usage_error(why);
  }
  const fs::path path(o.where);
  const std::string extension = path.extension().string();
  if ((o.to == "json" || o.to == "jsonl") && o.where != "-" &&
      (extension == ".json" || extension == ".jsonl")) {
    if (extension != "." + o.to) {
      throw usage_error("--to " + o.to + " writes a ." + o.to + " file, not " + o.where +
                        "; give --to " + extension.substr(1) + " or a name ending in ." + o.to);
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      throw usage_error(o.where + " is a folder; give a new file's name ending in ." + o.to +
                        ", or a folder's name without that ending");
    }
    if (const std::string input = input_at(path, files_read(o.source, run)); !input.empty()) {
      throw usage_error("-o " + o.where + " would write over " + input +
                        ", which this command reads; give another file's name");
    }
    return;  // one file, replaced only when complete
  }
  // "-" is standard output only where a single document is written.
  if ((o.to == "json" || o.to == "jsonl") && o.where == "-") return;
  std::vector<std::string> names =
      o.to == "packingsolver" ? packingsolver_names : std::vector<std::string>{"run." + o.to};
  if (o.with_parameters) names.push_back("instance_#/parameters.csv");
  if (o.to == "roadef2018")
    names = {"instance_#/batch.csv", "instance_#/defects.csv", "instance_#/global_param.csv"};
  if (o.to == "2dpacklib") names = {"instance_#.ins2D", "instance_#.defects"};
  o.folder.emplace(o.where, o.force, files_read(o.source, run), names);
}

std::function<prepared()> setup_export(CLI::App& app) {
  auto o = std::make_shared<export_options>();
  o->source.add_to(app);
  o->to_given = with_choices(
      app.add_option("--to", o->to,
                     "What to write: packingsolver, json, jsonl, roadef2018 or 2dpacklib")
          ->type_name("FORMAT")
          ->required(),
      export_formats);
  add_output_options(app, o->where, o->force, "PATH",
                     "A new folder; for json and jsonl also FILE.json or FILE.jsonl, or - for\n"
                     "standard output");
  app.add_option("--copies", o->copies,
                 "packingsolver: COPIES of each item type, N or unlimited (default 1)")
      ->type_name("N|unlimited");
  app.add_flag("--rotation", o->rotation, "packingsolver: ORIENTED 0, items may be turned");
  app.add_flag("--drop", o->drop,
               "roadef2018, 2dpacklib: leave out what the format cannot carry, rather than refuse");
  packingsolver_parameters& p = o->parameters;
  o->parameter_options = {
      app.add_option("--number-of-stages", p.number_of_stages,
                     "packingsolver: parameters.csv's levels of cuts (default 3)")
          ->type_name("N")
          ->check(CLI::Range(int64_t{1}, int64_t{1000}).description("")),
      app.add_option("--cut-type", p.cut_type, "packingsolver: non-exact (default) or exact")
          ->type_name("TYPE"),
      app.add_option("--first-stage-orientation", p.first_stage_orientation,
                     "packingsolver: vertical, horizontal or any (default)")
          ->type_name("O"),
      app.add_option("--cut-thickness", p.cut_thickness, "packingsolver: the blade's width")
          ->type_name("N")
          ->check(CLI::NonNegativeNumber.description("")),
      app.add_option("--minimum-waste-length", p.minimum_waste_length,
                     "packingsolver: a waste piece's least width (default 1)")
          ->type_name("L")
          ->check(CLI::NonNegativeNumber.description("")),
      app.add_flag("--cut-through-defects", p.cut_through_defects,
                   "packingsolver: cuts may cross defects")};
  return [o] {
    run_info run = o->source.run();
    check_export(*o, run);
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return export_work(run, *o, s); }};
  };
}

int verify_work(const run_info& run, session& s) {
  // Without its instance file there is nothing to compare: an error, as
  // the other commands have it, rather than a verdict. Not opened here: a
  // named pipe would have to be read now.
  std::error_code ec;
  if (!fs::exists(run.instance_file, ec)) {
    throw file_error(run.instance_file, "cannot be read",
                     ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
  }
  // Held back like check's.
  std::ostringstream report;
  const bool same = verify_run(*run.answers, report, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return same ? status_ok : status_problems;
}

int verify_recipe_work(const run_info& run, session& s) {
  std::ostringstream report;
  const bool same = verify_recipe(run, report, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return same ? status_ok : status_problems;
}

std::function<prepared()> setup_verify(CLI::App& app) {
  struct sources {
    std::string answers, recipe;
  };
  auto given = std::make_shared<sources>();
  CLI::Option* answers =
      app.add_option("--answers", given->answers, "The run's answers, as piped into sheetgen")
          ->type_name("FILE");
  app.add_option("--recipe", given->recipe, "A family run's recipe, as sheetkit generate writes it")
      ->type_name("FILE")
      ->excludes(answers);
  return [given] {
    if (!given->recipe.empty()) return prepared{run_from_recipe(given->recipe), verify_recipe_work};
    if (given->answers.empty()) throw usage_error("give --answers FILE or --recipe FILE");
    return prepared{run_from_answers(given->answers), verify_work};
  };
}

std::function<prepared()> setup_version(CLI::App&) {
  return [] {
    return prepared{run_info{}, [](const run_info&, session& s) {
                      s.out << "sheetkit " << sheetgen::version << '\n';
                      return status_ok;
                    }};
  };
}

const command suite_commands[] = {
    {"make", "Make every set of a suite's JSON file, the manifest last",
     "Writes DIR/suite.json, a copy of the JSON file, each set to DIR/CLASS/sSEED/\n"
     "(answers.txt, instances.txt, defects.txt), then DIR/SHA256SUMS, DIR/index.html and\n"
     "last DIR/manifest.tsv: where it stands, the suite is complete. Making again keeps the\n"
     "complete sets and does the rest; one make at a time in DIR. --shard K/N takes the\n"
     "pieces of the suite's order at the 1-based positions p with (p - 1) mod N = K - 1;\n"
     "a shard writes no manifest: a last make without --shard does, once every shard is done.",
     setup_suite_make},
    {"verify", "Generate every set again and compare; check the manifest",
     "Generates every set again and compares it byte for byte, then holds the manifest and\n"
     "SHA256SUMS to the sets. --shard K/N checks the same sets as make --shard K/N and their\n"
     "lines; shard 1 also looks for what belongs to no set.",
     setup_suite_verify},
    {"report", "Write the suite's page: what to cite, how to verify, its classes",
     "Reads a made suite; its page gives the manifest's SHA-256 to cite, the commands that\n"
     "verify the suite, the table of stats --suite and each class's pictures.",
     setup_suite_report},
    {"export", "Export every set for a solver, into a folder beside the suite",
     "Writes every completed set for a solver into OUT/CLASS/sSEED/; solvers write NAME.csv\n"
     "(their certificate) and NAME.json (their output) into each instance folder.",
     setup_suite_export},
    {"results", "Check every solver's certificates in an export; the table per class and solver",
     "Checks every certificate in OUT against the suite and gives the table per class and\n"
     "solver (status 1 when any solution is infeasible or missing).",
     setup_suite_results},
};

const command solution_commands[] = {
    {"check", "Check solutions against the run: each violation by line, then the figures",
     "Status 0 when every instance's solution is feasible, 1 when any is not or has none.",
     setup_solution_check},
    {"draw", "Draw each chosen instance's solution: items, defects, cuts, violations", "",
     setup_solution_draw},
};

const command table[] = {
    {"check", "Check both files strictly: each problem as FILE:LINE: message",
     "Always checked: the form of every line, area = length x width, every defect inside\n"
     "the object, the same number of blocks in both files, a file cut short. With\n"
     "--answers also: the area bounds, the numbers of instances, item types and defects,\n"
     "and every defect's size; without, every block against the first: as many item\n"
     "types and defects, each defect of the same size. At most 20 problems are listed,\n"
     "then their number. Item types longer or wider than the object are noted after\n"
     "them (sheetgen may write such); notes are not problems.",
     setup_check},
    {"stats", "Figures on item areas and shapes and on the defects; tables for papers",
     "--suite DIR gives the paper table: one row per class, over its completed sets; for a\n"
     "single run, --format csv or latex gives its one row in the same columns. Quantiles\n"
     "are values of the item types, at 0-based rank floor(p (n - 1)): the median is the\n"
     "lower middle one.",
     setup_stats},
    {"draw", "SVG pictures of instances, of all defects, of item shapes", "", setup_draw},
    {"export", "The run as PackingSolver CSV files, one JSON document, or JSON lines",
     "json: one document; jsonl: a first line for the run (object, answers), then one line\n"
     "per instance, for readers that take one line at a time.",
     setup_export},
    {"generate", "Write a run of an instance family and the recipe that makes it again",
     generate_footer, setup_generate},
    {"verify", "Generate the run again and compare it with the files",
     "Compares byte for byte as it generates, in constant memory, and shows the first\n"
     "line that differs in each file. Answers whose run ends in the repair failure are\n"
     "held to what sheetgen leaves then: the blocks before it, and no defect file.",
     setup_verify},
    {"suite", "Make a benchmark suite of many runs from one JSON file, verify one, or publish one",
     suite_footer, nullptr, suite_commands},
    {"solution", "Check, score and draw a solver's solutions of the run's instances",
     solution_footer, nullptr, solution_commands},
    {"version", "Print the version (the same as --version)", nullptr, setup_version},
};

}  // namespace

std::span<const command> commands() { return table; }

}  // namespace sheetkit
