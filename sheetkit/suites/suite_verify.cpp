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

#include "files/files.h"
#include "suites/sha256.h"
#include "files/source.h"
#include "suites/suite_manifest.h"
#include "suites/suite_work.h"
#include "files/text.h"
#include "files/verify.h"

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

// Generates the set again and compares its folder with it, file by file.
set_check check_set(const fs::path& dir, const suite_class& c, int32_t seed,
                    const sheetgen::progress_callback& progress) {
  const std::string name = set_name(c, seed);
  const fs::path folder = dir / name;
  const std::string answers = c.answers(seed);
  set_check check{
      {&c, seed, status_completed, {{"answers.txt", answers.size(), sha256_of(answers)}}},
      false,
      ""};
  std::ostringstream found;
  file_comparison answers_file((folder / "answers.txt").string(), answers.size());
  answers_file.compare(answers, std::count(answers.begin(), answers.end(), '\n'));
  answers_file.finish();
  if (!answers_file.identical()) answers_file.report(found);

  sheetgen::run_parameters p = answers_of(c, seed, folder);
  p.filename = (folder / p.filename).string();
  p.defectfilename = (folder / p.defectfilename).string();
  std::array<sha256, 2> digests;
  std::array<uint64_t, 2> bytes{};
  std::ostringstream run_report;
  const run_verdict verdict =
      verify_run_files(p, run_report, progress, [&](bool defect_file, std::string_view block) {
        digests[defect_file].add(block);
        bytes[defect_file] += block.size();
      });
  if (!verdict.identical) found << run_report.str();
  if (verdict.repair_abort) {
    check.expected.status = status_repair_abort;
  } else if (!c.defects.empty()) {
    check.expected.files.push_back({"defects.txt", bytes[1], digests[1].hex()});
  }
  check.expected.files.push_back({"instances.txt", bytes[0], digests[0].hex()});

  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    check.report = name + ": missing: no folder " + folder.string() + "\n";
    return check;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string file = entry.path().filename().string();
    if (file != "answers.txt" && file != "instances.txt" && file != "defects.txt" &&
        file != done_file) {
      found << entry.path().string() << ": not part of the set\n";
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
bool check_listing(const fs::path& path, const std::string& expected, bool whole, bool manifest,
                   std::ostream& out) {
  const std::string name = path.string();
  if (whole) {
    file_comparison file(name, expected.size());
    file.compare(expected, std::count(expected.begin(), expected.end(), '\n'));
    file.finish();
    if (!file.identical()) file.report(out);
    return file.identical();
  }
  std::string text;
  try {
    text = read_whole_file(name);
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

// Files and folders in `folder` that are not among `known`.
void find_strangers(const fs::path& folder, const std::set<std::string>& known,
                    std::vector<std::string>& strangers) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (known.count(entry.path().filename().string()) == 0)
      strangers.push_back(entry.path().string());
  }
}

}  // namespace

int verify_suite(const fs::path& dir, int jobs, suite_shard shard, std::ostream& out,
                 const sheetgen::progress_callback& progress) {
  const std::string definition_file = (dir / "suite.json").string();
  std::error_code ec;
  if (!fs::is_regular_file(dir / "suite.json", ec)) {
    throw sheetgen::error(dir.string() + ": no suite here (no suite.json)");
  }
  const suite_definition suite =
      read_suite_definition(definition_file, read_whole_file(definition_file), dir);
  const std::vector<suite_unit> units = suite_units(suite, shard);

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
  std::vector<std::string> strangers;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const suite_class& c = *units[i].cls;
    if (!c.complete) continue;
    per_unit[i] = check_complete_class(dir, c, jobs, shown);
    // A folder of a skipped seed is its check's to report.
    std::set<std::string> seeds;
    for (const set_check& s : per_unit[i]) seeds.insert("s" + std::to_string(s.expected.seed));
    find_strangers(dir / c.name, seeds, strangers);
  }
  shown.end();

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
  // What belongs to no set: the suite's own files and class folders aside,
  // and the sets of the classes without "complete".
  if (shard.whole() || shard.k == 1) {
    // index.html, the page made from the rest, is no set's.
    std::set<std::string> top{"suite.json", "manifest.tsv", "SHA256SUMS", "index.html"};
    for (const suite_class& c : suite.classes) {
      top.insert(c.name);
      if (c.complete) continue;
      std::set<std::string> known;
      for (const int32_t seed : c.seeds) known.insert("s" + std::to_string(seed));
      find_strangers(dir / c.name, known, strangers);
    }
    find_strangers(dir, top, strangers);
  }
  std::sort(strangers.begin(), strangers.end());
  for (const std::string& s : strangers) out << s << ": not part of the suite\n";

  const fs::path manifest = dir / "manifest.tsv";
  std::string found_manifest;
  try {
    found_manifest = read_whole_file(manifest.string());
  } catch (const sheetgen::error&) {
    // Reported below, as the comparison finds it.
  }
  // The version that made the suite: any version writes the same files.
  std::string version = manifest_version(found_manifest);
  if (version.empty()) version = sheetgen::version;
  const bool manifest_same = check_listing(manifest, manifest_text(suite.name, version, records),
                                           shard.whole(), true, out);
  const bool sums_same =
      check_listing(dir / "SHA256SUMS", sums_text(records), shard.whole(), false, out);

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
