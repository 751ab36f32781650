#include "suites/suite_contents.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>
#include <utility>

#include "figures/table_figures.h"
#include "files/files.h"
#include "files/instance_reader.h"
#include "files/regular_file.h"
#include "files/source.h"
#include "suites/sha256.h"
#include "suites/suite_files.h"
#include "suites/suite_manifest.h"
#include "suites/suite_plan.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    const std::size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string_view::npos ? tab : tab - at));
    if (tab == std::string_view::npos) return fields;
    at = tab + 1;
  }
}

}  // namespace

std::vector<int32_t> class_seeds::with(std::string_view status) const {
  std::vector<int32_t> out;
  for (const suite_seed& s : seeds)
    if (s.status == status) out.push_back(s.seed);
  return out;
}

namespace {

void read_manifest(suite_contents& s, const std::string& manifest);

suite_definition definition_in(const fs::path& dir) {
  require_suite_folder(dir);
  const fs::path definition = dir / suite_files::definition;
  return read_suite_definition(definition.string(),
                               read_small_file(definition, max_definition_bytes), dir);
}

// Whether make has begun in `dir`: a class folder of the suite is there.
bool any_class_folder(const fs::path& dir, const suite_definition& d) {
  std::error_code ec;
  return std::any_of(d.classes.begin(), d.classes.end(), [&](const suite_class& c) {
    return fs::is_directory(fs::symlink_status(dir / c.name, ec));
  });
}

}  // namespace

void require_suite_folder(const fs::path& dir) {
  std::error_code ec;
  const fs::file_status st = fs::status(dir, ec);
  const std::string expected = "; give the folder that sheetkit suite make wrote";
  if (!fs::exists(st)) {
    throw sheetgen::error(dir.string() + ": no such folder" + expected);
  }
  if (!fs::is_directory(st)) {
    throw sheetgen::error(dir.string() + ": a file, not a folder" + expected +
                          (dir.extension() == ".json"
                               ? " (sheetkit suite make " + dir.string() + " -o DIR makes one)"
                               : std::string()));
  }
  if (!fs::exists(fs::symlink_status(dir / suite_files::definition, ec)))
    throw sheetgen::error(dir.string() + ": no suite here (no suite.json)");
}

suite_contents read_suite_contents(const fs::path& dir) {
  suite_contents s;
  s.dir = dir;
  // suite.json first: its faults are told before a missing manifest.
  s.definition = definition_in(dir);
  const fs::path manifest_path = dir / suite_files::manifest;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(manifest_path, ec))) {
    // A folder that merely holds a suite file (the examples' own) is no
    // suite half made.
    if (!any_class_folder(dir, s.definition)) {
      throw sheetgen::error(dir.string() +
                            ": holds a suite.json but no suite made from it (no manifest.tsv, no "
                            "class folders); give the folder that sheetkit suite make wrote");
    }
    throw sheetgen::error(dir.string() +
                          ": no manifest.tsv: the suite is not made to its end; run sheetkit "
                          "suite make without --shard first");
  }
  read_manifest(s, read_small_file(manifest_path, max_manifest_bytes(s.definition)));
  return s;
}

suite_contents read_suite_contents(const fs::path& dir, const std::string& manifest) {
  suite_contents s;
  s.dir = dir;
  s.definition = definition_in(dir);
  read_manifest(s, manifest);
  return s;
}

namespace {

// The seeds of every class of `s.definition` as `manifest` gives them.
void read_manifest(suite_contents& s, const std::string& manifest) {
  const fs::path& dir = s.dir;
  const fs::path manifest_path = dir / suite_files::manifest;
  s.manifest_sha256 = sha256_of(manifest);
  s.version = manifest_version(manifest);
  const std::string where = manifest_path.string() + ":";
  const auto wrong = [&](std::size_t line, const std::string& what) {
    return sheetgen::error(where + std::to_string(line) + ": " + what + "; sheetkit suite verify " +
                           dir.string() + " tells what differs");
  };
  const std::size_t header_end = manifest.find('\n');
  if (s.version.empty() || header_end == std::string::npos ||
      manifest.substr(0, header_end).ends_with("\tsuite " + s.definition.name) == false) {
    throw wrong(1, "not the manifest of the suite \"" + s.definition.name + "\"");
  }

  // Each set's status, by class and seed, from the lines of its files.
  std::map<std::string, std::map<int32_t, std::string_view>> found;
  std::map<std::string, const suite_class*> by_name;
  for (const suite_class& c : s.definition.classes) by_name[c.name] = &c;
  std::size_t number = 2;
  std::size_t at = manifest.find('\n', header_end + 1);  // past the column names
  while (at != std::string::npos && at + 1 < manifest.size()) {
    ++number;
    const std::size_t end = manifest.find('\n', at + 1);
    const std::string_view line =
        std::string_view(manifest).substr(at + 1, end == std::string::npos ? end : end - at - 1);
    at = end;
    const std::vector<std::string_view> f = fields_of(line);
    const bool laws = s.definition.has_families();
    if (f.size() != (laws ? 15u : 14u)) throw wrong(number, "not a line of a manifest");
    const auto cls = by_name.find(std::string(f[1]));
    if (cls == by_name.end())
      throw wrong(number, "class \"" + std::string(f[1]) + "\" is not in suite.json");
    const suite_class& c = *cls->second;
    std::string columns;
    for (std::size_t k = 3; k <= 9; ++k) columns += std::string(f[k]) + (k < 9 ? "\t" : "");
    int32_t seed = 0;
    try {
      seed = static_cast<int32_t>(std::stol(std::string(f[2])));
    } catch (const std::exception&) {
      throw wrong(number, "not a seed: \"" + std::string(f[2]) + "\"");
    }
    if (columns != c.manifest_columns() || f[0] != set_name(c, seed) || (laws && f[14] != c.law()))
      throw wrong(number, "does not fit class \"" + c.name + "\" of suite.json");
    std::string_view status;
    for (const std::string_view known : {status_completed, status_repair_abort, status_skipped})
      if (f[10] == known) status = known;
    if (status.empty()) throw wrong(number, "unknown status \"" + std::string(f[10]) + "\"");
    found[c.name][seed] = status;
  }

  for (const suite_class& c : s.definition.classes) {
    class_seeds cs{&c, {}};
    const auto& seeds = found[c.name];
    if (c.complete) {
      for (const auto& [seed, status] : seeds) cs.seeds.push_back({seed, status});
    } else {
      for (const int32_t seed : c.seeds) {
        const auto f = seeds.find(seed);
        if (f == seeds.end()) throw wrong(number, "no line for the set " + set_name(c, seed));
        cs.seeds.push_back({seed, f->second});
      }
      if (seeds.size() != c.seeds.size())
        throw wrong(number, "a set of class \"" + c.name + "\" that suite.json does not give");
    }
    s.classes.push_back(std::move(cs));
  }
}

}  // namespace

void require_plain_set(const fs::path& dir, const run_info& in_suite) {
  // "CLASS/sSEED/FILE": the class folder, the set folder, then the files.
  const fs::path instances(in_suite.instance_file);
  std::error_code ec;
  for (const fs::path& folder : {instances.parent_path().parent_path(), instances.parent_path()}) {
    if (fs::is_symlink(fs::symlink_status(dir / folder, ec)))
      throw sheetgen::error((dir / folder).string() + ": a link, not a folder of the suite");
  }
  require_plain_file(dir / instances);
  if (!in_suite.defect_file.empty()) require_plain_file(dir / in_suite.defect_file);
  if (!in_suite.value_file.empty()) require_plain_file(dir / in_suite.value_file);
}

run_info set_run(const suite_class& c, int32_t seed, const fs::path& dir) {
  const fs::path set = dir / set_name(c, seed);
  rectangle object{.area = c.length * c.width, .length = c.length, .width = c.width};
  run_info run = run_from_object(object, (set / suite_files::instances).string(),
                                 c.has_defect_file() ? (set / suite_files::defects).string() : "");
  if (c.family) {
    // A family's set: read with its values and copies, as its recipe gives them.
    run.value_file = (set / suite_files::values).string();
    run.family = c.settings(seed);
  }
  return run;
}

namespace {

// The set's run with its files under `dir`, refused where they are not plain.
run_info plain_set_run(const fs::path& dir, const suite_class& c, int32_t seed) {
  require_plain_set(dir, set_run(c, seed));
  return set_run(c, seed, dir);
}

}  // namespace

instance_pass class_pass(const fs::path& dir, const class_seeds& c, std::string_view pass,
                         const sheetgen::progress_callback& progress) {
  // A pass of its own per class, so that progress counts up within it.
  const std::string label = std::string(pass) + " " + c.cls->name;
  return [dir, &c, label, progress](const std::function<void(const instance&)>& visit) {
    const std::string_view pass = label;
    const std::vector<int32_t> seeds = c.with(status_completed);
    const int64_t total = static_cast<int64_t>(seeds.size()) * c.cls->instances;
    int64_t done = 0, lines = 0;
    if (progress) progress({pass, 0, total, 0, "lines"});
    for (const int32_t seed : seeds) {
      file_pass(plain_set_run(dir, *c.cls, seed))([&](const instance& in) {
        visit(in);
        ++done;
        lines += static_cast<int64_t>(in.items.size() + in.defects.size());
        if (progress) progress({pass, done, total, lines, "lines"});
      });
    }
  };
}

table_row class_heading(const class_seeds& c) {
  table_row row;
  row.name = c.cls->name;
  row.sets = static_cast<int64_t>(c.with(status_completed).size());
  row.length = c.cls->length;
  row.width = c.cls->width;
  row.lower = c.cls->lower;
  row.upper = c.cls->upper;
  return row;
}

void class_figures(table_row& row, const fs::path& dir, const class_seeds& c, unsigned jobs,
                   std::string_view pass, const sheetgen::progress_callback& progress,
                   const set_visit& seen) {
  const std::vector<int32_t> seeds = c.with(status_completed);
  std::vector<instance_pass> sets;
  for (const int32_t seed : seeds) sets.push_back(file_pass(plain_set_run(dir, *c.cls, seed)));
  const int64_t per_set = c.cls->instances;
  const int64_t total = static_cast<int64_t>(seeds.size()) * per_set;
  const std::string label = std::string(pass) + " " + c.cls->name;  // a pass per class
  pass = label;
  if (progress) progress({pass, 0, total, 0, "sets"});
  compute_figures(row, sets, jobs, seen, [&](std::size_t k) {
    const auto done = static_cast<int64_t>(k) + 1;
    if (progress) progress({pass, done * per_set, total, done, "sets"});
  });
}

paper_table suite_table(const suite_contents& suite, const sheetgen::progress_callback& progress,
                        unsigned jobs) {
  paper_table table;
  for (const class_seeds& c : suite.classes) {
    table_row row = class_heading(c);
    class_figures(row, suite.dir, c, jobs, "stats", progress);
    table.rows.push_back(std::move(row));
  }
  return table;
}

}  // namespace sheetkit
