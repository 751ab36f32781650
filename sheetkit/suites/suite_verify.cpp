#include "suites/suite_verify.h"

#include <sheetgen/types.h>
#include <sheetgen/version.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "families/recipe_verify.h"
#include "files/files.h"
#include "files/regular_file.h"
#include "files/source.h"
#include "inspect/verify.h"
#include "suites/sha256.h"
#include "suites/suite_contents.h"
#include "suites/suite_files.h"
#include "suites/suite_manifest.h"
#include "suites/suite_work.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// One set as its answers give it, and what its folder holds.
struct set_check {
  set_record expected;
  bool same = false;
  std::string report;  // the lines shown for it
};

std::string indented(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    out += "  " + text.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return out;
}

sheetgen::run_parameters answers_of(const suite_class& c, int32_t seed, const fs::path& folder) {
  std::istringstream in(c.answers(seed));
  return read_answers_quietly(in, folder);
}

// What stands in the way of reading a set's files, as lines of its report:
// a class or set folder that is a link (the readers would leave the suite
// through it), or a set file that is not a plain file (a link, a FIFO, a
// device). `refused`: the files not to be opened.
std::string plain_set(const fs::path& dir, const suite_class& c, const std::string& name,
                      std::set<std::string>& refused) {
  std::error_code ec;
  const fs::path folder = dir / name;
  std::vector<std::string> files = {suite_files::answers, suite_files::instances,
                                    suite_files::defects, suite_files::done};
  if (c.family)
    files = {suite_files::recipe, suite_files::instances, suite_files::defects, suite_files::values,
             suite_files::done};
  for (const fs::path& f : {folder.parent_path(), folder}) {
    if (fs::is_symlink(fs::symlink_status(f, ec))) {
      refused.insert(files.begin(), files.end());
      return f.string() + ": a link, not a folder: a suite is plain folders and files\n";
    }
  }
  std::string lines;
  for (const std::string& file : files) {
    const std::string kind = not_a_plain_file(folder / file);
    if (kind.empty()) continue;
    refused.insert(file);
    lines += (folder / file).string() + ": " + kind + ", not a plain file\n";
  }
  return lines;
}

// The name a refused file is opened by: with a slash after it, no file
// opens (ENOTDIR) and a folder is refused, so nothing is read or waited on.
std::string opened_as(const fs::path& path, const std::set<std::string>& refused) {
  const std::string name = path.string();
  return refused.count(path.filename().string()) > 0 ? name + "/" : name;
}

// The set's .done against the record its regenerated files give: make
// keeps a set by it and writes the manifest from it, so a .done that
// differs (or is missing) would pass into the manifest.
void check_done(const fs::path& folder, const set_record& expected, std::ostream& found) {
  const fs::path done = folder / suite_files::done;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(done, ec))) {
    found << done.string() << ": missing: without it make does not take the set for one it made\n";
    return;
  }
  std::string text;
  try {
    text = read_small_file(done, max_done_bytes);
  } catch (const sheetgen::error& e) {
    found << e.what() << '\n';
    return;
  }
  const std::string want = done_text(expected);
  if (text == want) return;
  // The first line that differs, as the other files show it.
  std::istringstream a(want), b(text);
  std::string line_a, line_b;
  for (std::size_t line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, line_a));
    const bool more_b = static_cast<bool>(std::getline(b, line_b));
    if (more_a && more_b && line_a == line_b) continue;
    found << done.string() << ":" << line
          << ": differs from the set's files (make would write it into the manifest)\n"
          << "    expected: " << (more_a ? sheetgen::visible_bytes(line_a) : "(end of file)")
          << "\n    found:    " << (more_b ? sheetgen::visible_bytes(line_b) : "(end of file)")
          << '\n';
    return;
  }
}

// Generates the set again and compares its folder with it, file by file.
set_check check_set(const fs::path& dir, const suite_class& c, int32_t seed,
                    const sheetgen::progress_callback& progress) {
  const std::string name = set_name(c, seed);
  const fs::path folder = dir / name;
  const std::string answers = c.source(seed);
  set_check check{
      {&c, seed, status_completed, {{c.source_file(), answers.size(), sha256_of(answers)}}},
      false,
      ""};
  std::set<std::string> refused;
  std::ostringstream found;
  found << plain_set(dir, c, name, refused);
  file_comparison answers_file(opened_as(folder / c.source_file(), refused), answers.size());
  answers_file.compare(answers, std::count(answers.begin(), answers.end(), '\n'));
  answers_file.finish();
  if (!answers_file.identical() && refused.count(c.source_file()) == 0) answers_file.report(found);

  // The instance file, the defect file and (of a family) the value file.
  std::array<sha256, 3> digests;
  std::array<uint64_t, 3> bytes{};
  std::ostringstream run_report;
  run_verdict verdict;
  if (c.family) {
    run_info run;
    run.object = rectangle::of(c.length, c.width);
    run.instance_file = opened_as(folder / suite_files::instances, refused);
    if (c.has_defect_file()) run.defect_file = opened_as(folder / suite_files::defects, refused);
    run.value_file = opened_as(folder / suite_files::values, refused);
    run.family = c.settings(seed);
    const sheetgen::progress_callback counted = as_item_pass(progress);
    verdict.identical =
        verify_recipe(run, run_report, counted, [&](int file, std::string_view block) {
          digests[static_cast<std::size_t>(file)].add(block);
          bytes[static_cast<std::size_t>(file)] += block.size();
        });
  } else {
    sheetgen::run_parameters p = answers_of(c, seed, folder);
    p.filename = opened_as(folder / p.filename, refused);
    p.defectfilename = opened_as(folder / p.defectfilename, refused);
    verdict =
        verify_run_files(p, run_report, progress, [&](bool defect_file, std::string_view block) {
          digests[defect_file].add(block);
          bytes[defect_file] += block.size();
        });
  }
  // A refused file is told once, above, not as one that cannot be read.
  if (!verdict.identical && refused.empty()) found << run_report.str();
  if (verdict.repair_abort) {
    check.expected.status = status_repair_abort;
  } else if (c.has_defect_file()) {
    check.expected.files.push_back({suite_files::defects, bytes[1], digests[1].hex()});
  }
  check.expected.files.push_back({suite_files::instances, bytes[0], digests[0].hex()});
  if (c.family) check.expected.files.push_back({suite_files::values, bytes[2], digests[2].hex()});

  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    check.report = name + ": missing: no folder " + folder.string() + "\n";
    return check;
  }
  if (refused.count(suite_files::done) == 0) check_done(folder, check.expected, found);
  if (!fs::is_symlink(fs::symlink_status(folder, ec)) &&
      !fs::is_symlink(fs::symlink_status(folder.parent_path(), ec))) {
    try {
      for (const fs::directory_entry& entry : folder_entries(folder)) {
        const std::string file = entry.path().filename().string();
        const std::vector<std::string> own = set_file_names(c, status_completed);
        const bool known = c.family
                               ? std::find(own.begin(), own.end(), file) != own.end()
                               : file == suite_files::answers || file == suite_files::instances ||
                                     file == suite_files::defects;
        if (!known && file != suite_files::done) {
          found << entry.path().string() << ": not part of the set\n";
        }
      }
    } catch (const file_error& e) {  // the other sets are still checked
      found << e.what() << '\n';
    }
  }
  check.same = found.str().empty();
  check.report = name + (check.same ? ": identical" : ": differs") +
                 (check.same && verdict.repair_abort
                      ? " (the run ends in the repair abort and its files are as sheetgen "
                        "leaves them)"
                      : "") +
                 "\n" + indented(found.str());
  return check;
}

// Each seed of a class with "complete" up to the count-th whose run
// completes: a set where it completes, no folder where it aborts.
std::vector<set_check> check_complete_class(const fs::path& dir, const suite_class& c, int jobs,
                                            suite_progress& shown) {
  std::map<int32_t, set_check> checked;
  std::mutex lock;
  const auto decided = decide_seeds(c, jobs, [&](int32_t seed) {
    const std::string name = set_name(c, seed);
    const set_record skipped{&c, seed, status_skipped, {}};
    set_check check;
    std::error_code ec;
    if (fs::is_directory(dir / name, ec)) {
      check = check_set(dir, c, seed, shown.for_run());
      if (check.expected.status != status_completed) {
        check = {skipped, false,
                 name +
                     ": its run ends in the repair abort, so the seed is skipped and has no "
                     "folder\n"};
      }
    } else if (ends_in_repair_abort(answers_of(c, seed, dir))) {  // not in the progress's total
      check = {skipped, true, name + ": skipped: its run ends in the repair abort\n"};
    } else {
      check = check_set(dir, c, seed, shown.for_run());  // missing
    }
    const bool completes = check.expected.status == status_completed;
    const std::lock_guard<std::mutex> hold(lock);
    checked[seed] = std::move(check);
    return completes;
  });
  std::vector<set_check> checks;
  for (const auto& [seed, completes] : decided) checks.push_back(std::move(checked[seed]));
  return checks;
}

// The key a listing's line is found by: the file (or the set, for a seed
// skipped) in manifest.tsv, the file in SHA256SUMS; the manifest's two
// header lines by their place.
std::string key_of(bool manifest, const std::string& line, std::size_t number) {
  if (!manifest) return line.substr(std::min(line.find("  ") + 2, line.size()));
  if (number <= 2) return "\n" + std::to_string(number);
  std::vector<std::string> fields;
  for (std::size_t at = 0; at <= line.size();) {
    const std::size_t end = std::min(line.find('\t', at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return fields.size() > 11 && fields[11] != "-" ? fields[11] : fields[0];
}

// A listing (manifest.tsv or SHA256SUMS) against the lines the sets give:
// byte for byte for the whole suite, else the lines of the shard's sets.
// At most `limit` bytes of it are read.
bool check_listing(const fs::path& path, const std::string& expected, bool whole, bool manifest,
                   uint64_t limit, std::ostream& out) {
  const std::string name = path.string();
  if (const std::string kind = not_a_plain_file(path); !kind.empty()) {
    out << name << ": " << kind << ", not a plain file\n";
    return false;
  }
  if (whole) {
    file_comparison file(name, expected.size());
    file.compare(expected, std::count(expected.begin(), expected.end(), '\n'));
    file.finish();
    if (!file.identical()) file.report(out);
    return file.identical();
  }
  std::string text;
  try {
    text = read_small_file(path, limit);
  } catch (const sheetgen::error& e) {
    out << e.what() << '\n';
    return false;
  }
  // Each key's lines, with their numbers: one each, or a line was added.
  std::map<std::string, std::vector<std::pair<std::size_t, std::string>>> lines;
  std::istringstream in(text);
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    lines[key_of(manifest, line, number)].emplace_back(number, line);
  }
  std::istringstream want(expected);
  for (std::size_t number = 1; std::getline(want, line); ++number) {
    const std::string key = key_of(manifest, line, number);
    const auto found = lines.find(key);
    if (found == lines.end()) {
      out << name << ": no line for " << key_of(manifest, line, 3) << '\n';
      return false;
    }
    const auto& [at, found_line] = found->second.back();
    if (found->second.size() > 1) {
      out << name << ":" << at << ": a second line for " << key_of(manifest, line, 3) << '\n';
      return false;
    }
    if (found_line != line) {
      out << name << ":" << at << ": differs\n  expected: " << sheetgen::visible_bytes(line)
          << "\n  found:    " << sheetgen::visible_bytes(found_line) << '\n';
      return false;
    }
  }
  return true;
}

// "s12": a seed's folder in its class's. Appended piece by piece: g++ 12
// warns falsely on "s" + std::string.
std::string seed_folder(int32_t seed) {
  std::string name(1, 's');
  name += std::to_string(seed);
  return name;
}

// Entries of `folder` that are not among `known`, as lines "PATH: not
// part of the suite"; a folder that is a link is not looked into. Throws
// file_error when the folder cannot be listed.
void find_strangers(const fs::path& folder, const std::set<std::string>& known,
                    std::vector<std::string>& strangers) {
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(folder, ec))) return;
  for (const fs::directory_entry& entry : folder_entries(folder)) {
    if (known.count(entry.path().filename().string()) == 0)
      strangers.push_back(entry.path().string() + ": not part of the suite");
  }
}

// What the whole suite (or shard 1) holds beside its sets: entries that
// belong to no set, and a suite file or class folder that is not plain.
std::vector<std::string> strangers_of(const fs::path& dir, const suite_definition& suite,
                                      const std::vector<std::vector<set_check>>& per_unit,
                                      const std::vector<suite_unit>& units, bool top) {
  std::vector<std::string> strangers;
  std::error_code ec;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const suite_class& c = *units[i].cls;
    if (!c.complete) continue;
    // A folder of a skipped seed is its check's to report.
    std::set<std::string> seeds;
    for (const set_check& s : per_unit[i]) seeds.insert(seed_folder(s.expected.seed));
    find_strangers(dir / c.name, seeds, strangers);
  }
  if (!top) return strangers;
  // index.html, the page made from the rest, is no set's; a lock is a make's at work.
  std::set<std::string> known(suite_files::top.begin(), suite_files::top.end());
  for (const suite_class& c : suite.classes) {
    known.insert(c.name);
    if (c.complete) continue;
    std::set<std::string> seeds;
    for (const int32_t seed : c.seeds) seeds.insert(seed_folder(seed));
    find_strangers(dir / c.name, seeds, strangers);
  }
  for (const fs::directory_entry& entry : folder_entries(dir)) {
    const std::string name = entry.path().filename().string();
    if (known.count(name) == 0) {
      if (!suite_files::is_lock(name))
        strangers.push_back(entry.path().string() + ": not part of the suite");
    } else if (entry.is_symlink(ec)) {
      strangers.push_back(entry.path().string() + ": a link: a suite is plain folders and files");
    } else if (name == suite_files::page && !not_a_plain_file(entry.path()).empty()) {
      strangers.push_back(entry.path().string() + ": " + not_a_plain_file(entry.path()) +
                          ", not a plain file");
    }
  }
  return strangers;
}

// Every set of `units` checked, up to `jobs` at a time: per unit, its set,
// or the seeds of its class with "complete".
std::vector<std::vector<set_check>> check_units(const fs::path& dir,
                                                const std::vector<suite_unit>& units, int jobs,
                                                const sheetgen::progress_callback& progress) {
  int64_t instances = 0;
  std::vector<std::size_t> plain;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const suite_class& c = *units[i].cls;
    instances += c.complete ? c.count * c.instances : c.instances;
    if (!c.complete) plain.push_back(i);
  }
  suite_progress shown(progress, instances);
  std::vector<std::vector<set_check>> per_unit(units.size());
  parallel_for(plain.size(), jobs, [&](std::size_t k) {
    const suite_unit& u = units[plain[k]];
    per_unit[plain[k]].push_back(check_set(dir, *u.cls, u.seed, shown.for_run()));
  });
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i].cls->complete) per_unit[i] = check_complete_class(dir, *units[i].cls, jobs, shown);
  }
  shown.end();
  return per_unit;
}

}  // namespace

int verify_suite(const fs::path& dir, int jobs, suite_shard shard, std::ostream& out,
                 const sheetgen::progress_callback& progress) {
  require_suite_folder(dir);
  const fs::path definition_file = dir / suite_files::definition;
  std::error_code ec;
  const suite_definition suite = read_suite_definition(
      definition_file.string(), read_small_file(definition_file, max_definition_bytes), dir);
  const std::vector<suite_unit> units = suite_units(suite, shard);
  // A class folder that cannot be listed is told once, with its reason,
  // before its sets would each be reported missing.
  for (const suite_unit& u : units) {
    const fs::path folder = dir / u.cls->name;
    if (fs::is_directory(fs::symlink_status(folder, ec))) folder_entries(folder);
  }
  const std::vector<std::vector<set_check>> per_unit = check_units(dir, units, jobs, progress);

  std::vector<set_record> records;
  int64_t same = 0;
  int64_t sets = 0;
  int64_t skipped = 0;
  int64_t skipped_with_folder = 0;
  for (const auto& checks : per_unit) {
    for (const set_check& s : checks) {
      out << s.report;
      records.push_back(s.expected);
      const bool skip = s.expected.status == status_skipped;
      (skip ? skipped : sets) += 1;
      (skip ? skipped_with_folder : same) += s.same == !skip ? 1 : 0;
    }
  }
  std::vector<std::string> strangers =
      strangers_of(dir, suite, per_unit, units, shard.whole() || shard.k == 1);
  std::sort(strangers.begin(), strangers.end());
  for (const std::string& s : strangers) out << s << '\n';

  const fs::path manifest = dir / suite_files::manifest;
  const uint64_t limit = max_manifest_bytes(suite);
  std::string found_manifest;
  try {
    found_manifest = read_small_file(manifest, limit);
  } catch (const sheetgen::error&) {
    // Reported below, as the comparison finds it.
  }
  // The version that made the suite: any version writes the same files.
  std::string version = manifest_version(found_manifest);
  if (version.empty()) version = sheetgen::version;
  const bool manifest_same =
      check_listing(manifest, manifest_text(suite.name, version, records, suite.has_families()),
                    shard.whole(), true, limit, out);
  const bool sums_same =
      check_listing(dir / suite_files::sums, sums_text(records), shard.whole(), false, limit, out);

  out << (shard.whole() ? ""
                        : "shard " + std::to_string(shard.k) + "/" + std::to_string(shard.n) + ": ")
      << count_of(sets, "set") << ": " << same << " identical, " << sets - same << " differ";
  if (skipped > 0) out << "; " << count_of(skipped, "seed") << " skipped as the run aborts";
  if (skipped_with_folder > 0) out << " (" << skipped_with_folder << " with a folder)";
  if (!strangers.empty()) {
    out << "; " << strangers.size() << (strangers.size() == 1 ? " entry" : " entries")
        << " not part of the suite";
  }
  out << "; manifest.tsv " << (manifest_same ? "agrees" : "differs") << ", SHA256SUMS "
      << (sums_same ? "agrees" : "differs") << '\n';
  if (!found_manifest.empty()) out << "manifest sha256: " << sha256_of(found_manifest) << '\n';
  const bool all_same =
      same == sets && skipped_with_folder == 0 && strangers.empty() && manifest_same && sums_same;
  return all_same ? 0 : 1;
}

}  // namespace sheetkit
