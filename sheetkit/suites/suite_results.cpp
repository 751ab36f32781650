#include "suites/suite_results.h"

#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "families/recipe.h"
#include "files/export_layout.h"
#include "files/files.h"
#include "files/instance_reader.h"
#include "files/source.h"
#include "solutions/export_contract.h"
#include "solutions/judge.h"
#include "solutions/solution_reader.h"
#include "suites/suite_contents.h"
#include "suites/suite_export.h"
#include "suites/suite_manifest.h"
#include "suites/suite_plan.h"
#include "suites/suite_work.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// The files the export writes into an instance folder.
bool export_file(const std::string& name) {
  return std::find(export_instance_files.begin(), export_instance_files.end(), name) !=
         export_instance_files.end();
}

// A solver's name as a file's stem: what a class name may be.
bool solver_name(std::string_view name) {
  return !name.empty() && name[0] != '.' &&
         name.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
             std::string_view::npos;
}

// The names in `folder`, sorted, so that the first stray one is the same
// on every run.
std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : folder_entries(folder))
    names.push_back(e.path().filename().string());
  return names;
}

bool is_folder(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(p, ec));
}

bool is_file(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

[[noreturn]] void foreign(const fs::path& p, std::string_view what) {
  throw sheetgen::error(p.string() + ": " + std::string(what));
}

}  // namespace

solution_rules export_rules(const std::string& record, const guillotine_rules& guillotine) {
  solution_rules rules;
  rules.guillotine = guillotine;
  rules.max_violations = 1;
  if (const std::optional<export_terms> t = parse_export_record(record)) {
    rules.copies = t->copies;
    rules.rotation = t->rotation;
  }
  return rules;
}

namespace {

// One solver's figures on one set.
struct set_figures {
  solver_row row;
  std::vector<bool> found;  // per instance
};

// What one set gives.
struct set_outcome {
  std::map<std::string, set_figures> solvers;
  std::vector<unsolved> infeasible;
  int64_t optima = 0;  // instances whose optimum is known
};

// A solver's files in an instance folder.
struct solver_files {
  bool certificate = false;
  bool output = false;
};

// The solvers' files in one instance folder; throws on anything else.
std::map<std::string, solver_files> solver_files_in(const fs::path& folder) {
  std::map<std::string, solver_files> solvers;
  for (const std::string& name : names_in(folder)) {
    const fs::path p = folder / name;
    if (export_file(name)) {
      if (!is_file(p)) foreign(p, "not a file, where the export wrote one");
      continue;
    }
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string kind = dot == std::string::npos ? "" : name.substr(dot);
    if (!is_file(p) || !solver_name(stem) ||
        (kind != certificate_extension && kind != solver_output_extension &&
         kind != solver_log_extension)) {
      foreign(p,
              "neither the export's nor a solver's file (SOLVER.csv, SOLVER.json, "
              "SOLVER.log); remove it");
    }
    if (kind == certificate_extension) solvers[stem].certificate = true;
    if (kind == solver_output_extension) solvers[stem].output = true;
  }
  for (const char* name : export_instance_files) {
    if (!is_file(folder / name)) {
      foreign(folder / name, "missing: the set is damaged; remove " +
                                 folder.parent_path().string() +
                                 " (with what solvers wrote there) and run sheetkit suite export "
                                 "again");
    }
  }
  return solvers;
}

set_outcome check_set(const results_options& o, const suite_class& c, int32_t seed,
                      const std::string& record, const export_terms& terms,
                      const solution_rules& rules, const sheetgen::progress_callback& progress) {
  const std::string set = set_name(c, seed);
  const fs::path place = o.out / set;
  if (!is_folder(place)) {
    throw sheetgen::error(place.string() + ": the set " + set +
                          " is missing from the export; run sheetkit suite export again");
  }
  const fs::path record_path = place / exported_file;
  if (!is_file(record_path) || read_whole_file(record_path.string()) != record) {
    foreign(record_path, "not the record of an export like the other sets' (\"" +
                             record.substr(0, record.size() - 1) + "\")");
  }
  // The set folder: its record and one folder per instance, nothing else.
  std::set<std::string> instance_folders;
  for (int64_t k = 1; k <= c.instances; ++k) instance_folders.insert(instance_name(k));
  for (const std::string& name : names_in(place)) {
    if (name == exported_file) continue;
    if (instance_folders.count(name) == 0 || !is_folder(place / name)) {
      foreign(place / name, "not part of the exported set; remove it");
    }
  }

  set_outcome outcome;
  const auto figures_of = [&](const std::string& solver) -> set_figures& {
    set_figures& f = outcome.solvers[solver];
    if (f.found.empty()) {
      f.found.assign(static_cast<std::size_t>(c.instances), false);
      f.row.cls = c.name;
      f.row.solver = solver;
    }
    return f;
  };

  const run_info run = set_run(c, seed, o.dir);
  std::optional<sheetgen::family_run> family;
  if (run.family) family.emplace(*run.family);
  int64_t seen = 0;
  file_pass(run)([&](const instance& in) {
    ++seen;
    const std::optional<int64_t> optimum = family ? known_optimum(*family, in) : std::nullopt;
    if (optimum) ++outcome.optima;
    const std::string folder_name = instance_name(in.number);
    const fs::path folder = place / folder_name;
    if (!is_folder(folder)) {
      foreign(folder, "missing from the exported set: the set is damaged; remove " +
                          place.string() + " and run sheetkit suite export again");
    }
    const solution_instance target{run.object, in.items, in.defects, in.values};
    // The rules are those the export gave the solver, and its files must
    // still be our instance: a stale or edited export is no test of it.
    // Its differences are violations of every solution judged here.
    const std::map<std::string, solver_files> solvers = solver_files_in(folder);
    const export_contract contract = read_export_contract(folder, target, terms);
    for (const auto& [solver, files] : solvers) {
      set_figures& f = figures_of(solver);
      if (!files.certificate) continue;  // the solver ran, and found nothing
      const fs::path certificate = folder / (solver + certificate_extension);
      // The violations name the file within its instance's folder, which the listing names.
      const judgement j = judge_file({target, in.number, rules, &contract}, certificate,
                                     solver + certificate_extension);
      f.found[static_cast<std::size_t>(in.number - 1)] = true;
      ++f.row.found;
      if (!j.judged || !j.report.feasible()) {
        ++f.row.infeasible;
        const std::vector<std::string> lines = j.report.lines();
        outcome.infeasible.push_back(
            {set + "/" + folder_name, solver, !j.judged ? j.why : lines.front()});
        continue;
      }
      const solution_report& report = j.report;
      const double u = report.figures.utilisation();
      if (f.row.feasible == 0 || u < f.row.utilisation_min) f.row.utilisation_min = u;
      if (f.row.feasible == 0 || u > f.row.utilisation_max) f.row.utilisation_max = u;
      ++f.row.feasible;
      f.row.utilisation_sum += u;
      f.row.gap_sum += report.figures.gap();
      f.row.items_sum += report.figures.items_placed;
      f.row.profit_sum += static_cast<double>(report.figures.profit);
      if (optimum) {
        solution_figures with = report.figures;
        with.known_optimum = optimum;
        ++f.row.optimum_feasible;
        f.row.optimum_gap_sum += with.optimum_gap();
      }
      if (files.output) {
        const fs::path output = folder / (solver + solver_output_extension);
        const double t = solver_time(read_whole_file(output.string()), output.string());
        if (t >= 0) {
          ++f.row.timed;
          f.row.time_sum += t;
        }
      }
    }
    if (progress) progress({"items", seen, c.instances, seen, "instances"});
  });
  if (seen != c.instances) {
    throw sheetgen::error(run.instance_file + ": " + std::to_string(seen) +
                          " instances where the "
                          "suite gives " +
                          std::to_string(c.instances) + "; sheetkit suite verify " +
                          o.dir.string() + " tells what differs");
  }
  return outcome;
}

// The sets of the suite in its order: class, seed.
struct suite_set {
  const class_seeds* cls;
  int32_t seed;
};

// The suite's completed sets, in its order, and their instances.
struct completed_sets {
  std::vector<suite_set> sets;
  int64_t instances = 0;
};

completed_sets completed_sets_of(const suite_contents& suite) {
  completed_sets out;
  for (const class_seeds& c : suite.classes) {
    for (const int32_t seed : c.with(status_completed)) {
      out.sets.push_back({&c, seed});
      out.instances += c.cls->instances;
    }
  }
  return out;
}

// OUT is an export, and of this very suite: its record names the manifest.
void check_export_of(const suite_contents& suite, const results_options& o) {
  if (!is_folder(o.out)) {
    throw sheetgen::error(o.out.string() +
                          ": no export here; make one with sheetkit suite export " +
                          o.dir.string() + " --to packingsolver -o " + o.out.string());
  }
  const fs::path sha_path = o.out / export_sha256_file;
  if (!is_file(sha_path)) {
    foreign(sha_path, "missing: " + o.out.string() + " is no export of a suite");
  }
  const std::string sha = read_whole_file(sha_path.string());
  if (sha != suite.manifest_sha256 + "\n") {
    foreign(sha_path, "names the suite " + sha.substr(0, sha.find('\n')) + ", not " +
                          o.dir.string() + " (manifest sha256 " + suite.manifest_sha256 +
                          "); give the export of this suite");
  }
}

// Every folder of the export is a class of the suite, and every folder in
// a class one of its completed sets: anything else is named, the first in
// sorted order.
void refuse_foreign_folders(const suite_contents& suite, const fs::path& out) {
  std::set<std::string> classes;
  for (const class_seeds& c : suite.classes) classes.insert(c.cls->name);
  for (const std::string& name : names_in(out)) {
    const fs::path p = out / name;
    if (!is_folder(p)) continue;  // the suite's SHA-256, and the user's own tables
    if (classes.count(name) == 0) foreign(p, "not a class of the suite; remove it");
    const class_seeds* c = nullptr;
    for (const class_seeds& k : suite.classes)
      if (k.cls->name == name) c = &k;
    std::set<std::string> wanted;
    for (const int32_t seed : c->with(status_completed)) {
      const std::string set = set_name(*c->cls, seed);
      wanted.insert(set.substr(set.rfind('/') + 1));
    }
    for (const std::string& set : names_in(p)) {
      if (wanted.count(set) == 0) {
        foreign(p / set, set.find(".tmp-") != std::string::npos
                             ? "an export under way or killed; run sheetkit suite export again"
                             : "not an exported set of the suite; remove it");
      }
    }
  }
}

// How every set was exported, as the record of the first set says it.
struct export_record {
  std::string text;    // the record; empty where there are no sets
  std::string shown;   // its first line, its bytes as the readers show them
  export_terms terms;  // the copies and the rotation it gave the solvers
};

export_record export_record_of(const std::vector<suite_set>& sets, const fs::path& out) {
  export_record r;
  if (sets.empty()) return r;
  const fs::path first = out / set_name(*sets[0].cls->cls, sets[0].seed) / exported_file;
  if (!is_file(first)) {
    throw sheetgen::error(first.parent_path().string() +
                          ": the set is missing from the export; run sheetkit suite export "
                          "again");
  }
  r.text = read_whole_file(first.string());
  if (r.text.find("--to packingsolver") == std::string::npos) {
    foreign(first,
            "an export --to json or jsonl; suite results reads the certificates of an "
            "export --to packingsolver");
  }
  r.shown = sheetgen::visible_bytes(r.text.substr(0, r.text.find('\n')));
  const std::optional<export_terms> t = parse_export_record(r.text);
  if (!t) foreign(first, "names no rules an export gives (--copies N or unlimited, --rotation)");
  r.terms = *t;
  return r;
}

// `into` (a row of a class and solver) takes the sums of one set's row.
void add_row(solver_row& into, const solver_row& r) {
  if (r.feasible > 0) {
    if (into.feasible == 0 || r.utilisation_min < into.utilisation_min)
      into.utilisation_min = r.utilisation_min;
    if (into.feasible == 0 || r.utilisation_max > into.utilisation_max)
      into.utilisation_max = r.utilisation_max;
  }
  into.found += r.found;
  into.feasible += r.feasible;
  into.infeasible += r.infeasible;
  into.utilisation_sum += r.utilisation_sum;
  into.gap_sum += r.gap_sum;
  into.items_sum += r.items_sum;
  into.profit_sum += r.profit_sum;
  into.timed += r.timed;
  into.time_sum += r.time_sum;
  into.optimum_feasible += r.optimum_feasible;
  into.optimum_gap_sum += r.optimum_gap_sum;
}

// The sets' outcomes added up per class and solver, in the sets' order (the
// same sums for every -j), and the solutions not found listed.
void add_up(const suite_contents& suite, const std::vector<suite_set>& sets,
            const std::vector<set_outcome>& outcomes, suite_results& results) {
  std::set<std::string> solvers;
  for (const set_outcome& s : outcomes)
    for (const auto& [name, figures] : s.solvers) solvers.insert(name);
  results.solvers.assign(solvers.begin(), solvers.end());
  std::size_t at = 0;
  for (const class_seeds& c : suite.classes) {
    const std::vector<int32_t> seeds = c.with(status_completed);
    const std::size_t begin = at;
    at += seeds.size();
    for (const std::string& solver : results.solvers) {
      solver_row row;
      row.cls = c.cls->name;
      row.solver = solver;
      row.instances = static_cast<int64_t>(seeds.size()) * c.cls->instances;
      for (std::size_t i = begin; i < at; ++i) {
        row.optima += outcomes[i].optima;
        const auto f = outcomes[i].solvers.find(solver);
        const std::string set = set_name(*c.cls, sets[i].seed);
        if (f == outcomes[i].solvers.end()) {
          for (int64_t k = 1; k <= c.cls->instances; ++k)
            results.missing.push_back({set + "/" + instance_name(k), solver, {}});
          continue;
        }
        add_row(row, f->second.row);
        for (std::size_t k = 0; k < f->second.found.size(); ++k) {
          if (!f->second.found[k]) {
            results.missing.push_back(
                {set + "/" + instance_name(static_cast<int64_t>(k) + 1), solver, {}});
          }
        }
      }
      results.rows.push_back(std::move(row));
    }
  }
  for (const set_outcome& s : outcomes)
    results.infeasible.insert(results.infeasible.end(), s.infeasible.begin(), s.infeasible.end());
}

}  // namespace

double solver_time(std::string_view text, const std::string& name) {
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw sheetgen::error(name + ": not a solver's JSON output: " + e.what());
  }
  if (!j.is_object()) throw sheetgen::error(name + ": not a solver's JSON output: not an object");
  const auto output = j.find("Output");
  if (output == j.end() || !output->is_object()) return -1;
  const auto time = output->find("Time");
  if (time == output->end() || !time->is_number() || time->get<double>() < 0) return -1;
  // Past a million years no run took: such a time would sum to infinity.
  if (!(time->get<double>() <= 3.2e13)) {
    throw sheetgen::error(name + ": not a solver's JSON output: Output.Time " + time->dump() +
                          " seconds is past any run's");
  }
  return time->get<double>();
}

suite_results gather_results(const results_options& o,
                             const sheetgen::progress_callback& progress) {
  const suite_contents suite = read_suite_contents(o.dir);
  suite_results results;
  results.suite = suite.definition.name;
  results.manifest_sha256 = suite.manifest_sha256;
  results.profits = suite.definition.has_families();

  check_export_of(suite, o);
  const completed_sets done = completed_sets_of(suite);
  refuse_foreign_folders(suite, o.out);
  const export_record record = export_record_of(done.sets, o.out);
  results.exported = record.shown;
  const solution_rules rules = export_rules(record.text, o.guillotine);

  std::vector<set_outcome> outcomes(done.sets.size());
  suite_progress checking(progress, done.instances);
  parallel_for(done.sets.size(), o.jobs, [&](std::size_t i) {
    outcomes[i] = check_set(o, *done.sets[i].cls->cls, done.sets[i].seed, record.text, record.terms,
                            rules, checking.for_run());
  });
  checking.end();

  add_up(suite, done.sets, outcomes, results);
  return results;
}

}  // namespace sheetkit
