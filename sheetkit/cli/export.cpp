#include "formats/export.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/builtins.h"
#include "cli/cli_errors.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "files/export_layout.h"
#include "files/files.h"
#include "files/held_to_answers.h"
#include "files/instance_reader.h"
#include "files/output_folder.h"
#include "files/output_path.h"
#include "formats/field_exports.h"
#include "text/text.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

struct export_options {
  run_options source;
  copies_option copies;
  bool rotation = false;
  packingsolver_rules rules;
  std::string to;
  CLI::Option* to_given = nullptr;
  std::string where;
  bool force = false;
  bool drop = false;                    // --drop: what the format cannot carry is left out
  std::optional<output_folder> folder;  // unless one file is written
  // The guillotine settings, written into parameters.csv when any is given.
  guillotine_options guillotine;
  packingsolver_parameters parameters;
  bool with_parameters = false;
};

field_export_rules field_rules(const export_options& o) {
  field_export_rules r;
  r.copies = o.rules.copies;
  r.rotation = o.rules.rotation;
  r.drop = o.drop;
  return r;
}

// What export --to packingsolver writes into its folder.
std::vector<std::string> packingsolver_names() {
  std::vector<std::string> names;
  for (const char* file : export_instance_files) names.push_back(std::string("instance_#/") + file);
  return names;
}

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
    if (o.with_parameters) write_packingsolver_parameters(into, instances, o.parameters);
    o.folder->commit();
    s.shown.clear();
    if (instances == 0) {
      s.out << dir.string() << " (0 instances)\n";
      return status_ok;
    }
    s.out << (dir / instance_name(1)).string();
    if (instances > 1) {
      s.out << " to " << (dir / instance_name(instances)).string();
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
  if (!counts && (o.copies.given() || o.rotation))
    throw usage_error(
        "--copies and --rotation are for --to packingsolver, roadef2018 and 2dpacklib");
  if (o.drop && o.to != "roadef2018" && o.to != "2dpacklib")
    throw usage_error("--drop is for --to roadef2018 and 2dpacklib, which cannot carry everything");
  o.with_parameters = o.guillotine.given();
  if (o.with_parameters && o.to != "packingsolver")
    throw usage_error("the guillotine settings are for --to packingsolver (its parameters.csv)");
  o.parameters = o.guillotine.parameters();
  if (!run.value_file.empty() && o.copies.given())
    throw usage_error("--copies: the run's value file gives each item type's copies");
  o.rules.copies = o.copies.count();
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
      o.to == "packingsolver" ? packingsolver_names() : std::vector<std::string>{"run." + o.to};
  if (o.with_parameters) names.push_back(std::string("instance_#/") + export_parameters_file);
  if (o.to == "roadef2018")
    names = {"instance_#/batch.csv", "instance_#/defects.csv", "instance_#/global_param.csv"};
  if (o.to == "2dpacklib") names = {"instance_#.ins2D", "instance_#.defects"};
  o.folder.emplace(o.where, o.force, files_read(o.source, run), names);
}

}  // namespace

std::function<prepared()> setup_export(CLI::App& app) {
  auto o = std::make_shared<export_options>();
  o->source.add_to(app);
  o->to_given = with_choices(
      app.add_option("--to", o->to,
                     "What to write: packingsolver, json, jsonl, roadef2018 or 2dpacklib")
          ->type_name("FORMAT")
          ->required(),
      export_formats());
  add_output_options(app, o->where, o->force, "PATH",
                     "A new folder; for json and jsonl also FILE.json or FILE.jsonl, or - for\n"
                     "standard output");
  o->copies.add_to(app, "packingsolver: COPIES of each item type, N or unlimited (default 1)");
  app.add_flag("--rotation", o->rotation, "packingsolver: ORIENTED 0, items may be turned");
  app.add_flag("--drop", o->drop,
               "roadef2018, 2dpacklib: leave out what the format cannot carry, rather than refuse");
  o->guillotine.add_to(app, "packingsolver");
  return [o] {
    run_info run = o->source.run();
    check_export(*o, run);
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return export_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
