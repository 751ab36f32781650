#include "suites/suite_export.h"

#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "files/export_layout.h"
#include "files/files.h"
#include "files/folder_lock.h"
#include "files/instance_reader.h"
#include "files/regular_file.h"
#include "files/source.h"
#include "formats/export.h"
#include "formats/field_exports.h"
#include "suites/suite_contents.h"
#include "suites/suite_manifest.h"
#include "suites/suite_work.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// One set to export, and whether an earlier export already holds it.
struct export_set {
  const suite_class* cls;
  int32_t seed;
  bool kept = false;
};

// Whether `inner` is `outer` or lies below it, both as they resolve.
bool within(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(fs::absolute(inner, ec), ec);
  const fs::path b = fs::weakly_canonical(fs::absolute(outer, ec), ec);
  auto i = a.begin();
  for (auto o = b.begin(); o != b.end(); ++o, ++i) {
    if (o->empty()) continue;  // a trailing separator
    if (i == a.end() || *i != *o) return false;
  }
  return true;
}

// Writes the set's run into `into` as `export` writes one run.
void export_set_files(const fs::path& dir, const suite_export_options& o, const suite_class& c,
                      int32_t seed, const fs::path& into,
                      const sheetgen::progress_callback& progress) {
  const run_info run = set_run(c, seed, dir);
  const int64_t total = c.instances;
  int64_t done = 0;
  const instance_pass pass = [&, files = file_pass(run)](const auto& visit) {
    files([&](const instance& in) {
      visit(in);
      ++done;
      if (progress) progress({"items", done, total, done, "instances"});
    });
  };
  if (o.to == "packingsolver") {
    packingsolver_rules rules;
    rules.copies = o.copies == "unlimited" ? -1 : parse_positive(o.copies).value_or(1);
    rules.rotation = o.rotation;
    export_packingsolver(run, pass, into, rules);
  } else if (o.to == "roadef2018" || o.to == "2dpacklib") {
    field_export_rules rules;
    rules.copies = o.copies == "unlimited" ? -1 : parse_positive(o.copies).value_or(1);
    rules.rotation = o.rotation;
    rules.drop = o.drop;
    if (o.to == "roadef2018") {
      export_roadef2018(run, pass, into, rules);
    } else {
      export_2dpacklib(run, pass, into, rules);
    }
  } else if (o.to == "json") {
    export_json(run, pass, into / "run.json");
  } else {
    export_jsonl(run, pass, into / "run.jsonl");
  }
}

// Exports one set into a fresh folder beside its place, then renames it there.
void write_set(const suite_export_options& o, const suite_class& c, int32_t seed,
               const sheetgen::progress_callback& progress) {
  const fs::path place = o.out / set_name(c, seed);
  std::error_code ec;
  fs::create_directories(place.parent_path(), ec);
  if (ec) throw file_error(place.parent_path().string(), "cannot be created", ec);
  fs::path temporary;
  for (int attempt = 0; attempt < 16 && temporary.empty(); ++attempt) {
    std::string name = ".";
    name += place.filename().string();
    name += unique_suffix();
    const fs::path candidate = place.parent_path() / name;
    if (fs::create_directory(candidate, ec)) temporary = candidate;
    if (ec) throw file_error(candidate.string(), "cannot be created", ec);
  }
  if (temporary.empty()) {
    throw file_error(place.string(), "no new folder can be made beside it",
                     std::make_error_code(std::errc::file_exists));
  }
  try {
    export_set_files(o.dir, o, c, seed, temporary, progress);
    write_file(temporary / exported_file, exported_text(o));
    fs::rename(temporary, place, ec);
    if (ec) throw file_error(temporary.string(), "cannot be renamed to " + place.string(), ec);
  } catch (const sheetgen::error& e) {
    fs::remove_all(temporary, ec);
    throw sheetgen::error(place.string() + ": " + e.what());
  } catch (...) {
    fs::remove_all(temporary, ec);
    throw;
  }
}

// The locks an export holds in OUT while it writes: every export shares
// the first (the whole export holds it alone), a shard holds its own too.
constexpr const char* export_lock = ".export.lock";
std::string export_shard_lock(const suite_shard& shard) {
  return ".export.shard-" + std::to_string(shard.k) + "-of-" + std::to_string(shard.n) + ".lock";
}
bool is_export_lock(std::string_view name) {
  return name == export_lock || (name.starts_with(".export.shard-") && name.ends_with(".lock"));
}

// What an export leaves in OUT before its first set: its locks, and the
// temporary of suite.sha256 when killed before renaming it.
bool left_before_the_sets(std::string_view name) {
  return is_export_lock(name) || name.starts_with(std::string(export_sha256_file) + ".tmp-");
}

// Removes the temporaries that an export killed on its way left: of the
// sets `sets` only (a shard's own), or every one in the classes' folders
// (the whole export, which runs alone). Another shard's are its own.
void clear_temporaries(const fs::path& out, const suite_contents& suite,
                       const std::vector<export_set>& sets, bool whole) {
  std::error_code ec;
  std::set<std::string> own;
  for (const export_set& s : sets) {
    const fs::path place = out / set_name(*s.cls, s.seed);
    own.insert(place.parent_path().filename().string() + "/." + place.filename().string() +
               ".tmp-");
  }
  for (const class_seeds& c : suite.classes) {
    const fs::path folder = out / c.cls->name;
    if (!fs::is_directory(fs::symlink_status(folder, ec))) continue;
    for (const fs::directory_entry& entry : folder_entries(folder)) {
      const std::string name = entry.path().filename().string();
      const std::size_t tmp = name.find(".tmp-");
      if (!name.starts_with(".s") || tmp == std::string::npos) continue;
      if (whole || own.count(c.cls->name + "/" + name.substr(0, tmp + 5)) > 0)
        fs::remove_all(entry.path(), ec);
    }
  }
  if (!whole) return;
  for (const fs::directory_entry& entry : folder_entries(out)) {
    if (entry.path().filename().string().starts_with(std::string(export_sha256_file) + ".tmp-"))
      fs::remove(entry.path(), ec);
  }
}

}  // namespace

std::string exported_text(const suite_export_options& o) {
  std::string text = "sheetkit suite export --to " + o.to;
  if (o.to == "packingsolver" || o.to == "roadef2018" || o.to == "2dpacklib") {
    text += " --copies " + o.copies;
    if (o.rotation) text += " --rotation";
    if (o.drop) text += " --drop";
  }
  return text + "\n";
}

suite_export_report export_suite(const suite_export_options& o,
                                 const sheetgen::progress_callback& progress) {
  const suite_contents suite = read_suite_contents(o.dir);
  const std::string out_name = o.out.string();
  suite_export_report report;
  report.suite = suite.definition.name;
  report.shard = o.shard;
  report.manifest_sha256 = suite.manifest_sha256;
  report.record = o.out / export_sha256_file;
  const auto refuse = [&](const std::string& why) {
    report.refusal = why;
    return report;
  };
  if (within(o.out, o.dir)) {
    return refuse(out_name + " lies inside the suite " + o.dir.string() +
                  "; an export lives beside its suite: give a folder outside it");
  }
  if (within(o.dir, o.out)) {
    return refuse(out_name + " holds the suite " + o.dir.string() + "; give another folder");
  }

  std::error_code ec;
  const fs::file_status status = fs::status(o.out, ec);
  const fs::path sha_path = o.out / export_sha256_file;
  const std::string sha_line = suite.manifest_sha256 + "\n";
  if (fs::exists(status) && !fs::is_directory(status))
    return refuse(out_name + " is a file; give a folder's name");
  // The locks live in OUT: it is made first, and goes again on a refusal.
  const bool made_out = fs::create_directories(o.out, ec);
  if (ec) throw file_error(out_name, "cannot be created", ec);
  std::vector<folder_lock> locks;
  {
    std::vector<std::pair<std::string, bool>> wanted{{export_lock, !o.shard.whole()}};
    if (!o.shard.whole()) wanted.emplace_back(export_shard_lock(o.shard), false);
    for (const auto& [name, shared] : wanted) {
      folder_lock::taken by;
      std::optional<folder_lock> lock = folder_lock::take(o.out / name, shared, by);
      if (!lock) {
        locks.clear();
        return refuse("another export is running into " + out_name +
                      (by.pid > 0 ? " (pid " + std::to_string(by.pid) + ")" : "") +
                      "; wait for it to end" + (o.shard.whole() ? "" : ", or give another shard"));
      }
      locks.push_back(std::move(*lock));
    }
  }
  const auto refuse_here = [&](const std::string& why) {
    locks.clear();
    if (made_out) fs::remove(o.out, ec);
    return refuse(why);
  };
  // A class folder that is a link would put sets wherever it points.
  for (const class_seeds& c : suite.classes) {
    const fs::path folder = o.out / c.cls->name;
    if (fs::is_symlink(fs::symlink_status(folder, ec))) {
      return refuse_here(folder.string() +
                         " is a link; an export writes its sets into folders of its own: remove "
                         "it, or give a new folder");
    }
  }
  {
    if (fs::is_symlink(fs::symlink_status(sha_path, ec)) ||
        (fs::exists(fs::symlink_status(sha_path, ec)) &&
         !fs::is_regular_file(fs::symlink_status(sha_path, ec)))) {
      return refuse_here(sha_path.string() + " is not a plain file; give a new folder");
    }
    // Shards run at once: one may name the suite and begin its sets between
    // our look for the name and our look at the folder. Whatever it left
    // comes after the name, so a folder holding more is looked at again.
    bool named = fs::exists(fs::symlink_status(sha_path, ec));
    if (!named) {
      for (const fs::directory_entry& entry : folder_entries(o.out)) {
        if (left_before_the_sets(entry.path().filename().string())) continue;
        named = fs::exists(fs::symlink_status(sha_path, ec));
        if (named) break;
        return refuse_here(out_name + " holds files but no export (no " + export_sha256_file +
                           "); give a new or empty folder");
      }
    }
    if (named) {
      const std::string found = read_small_file(sha_path, 200);
      if (found != sha_line) {
        return refuse_here(out_name + " holds the export of another suite (its " +
                           export_sha256_file + " is not " + suite.manifest_sha256 +
                           ", the manifest sha256 of " + o.dir.string() + "); give a new folder");
      }
    }
  }

  // The sets to export, and which an earlier export holds already.
  const std::string record = exported_text(o);
  std::vector<export_set> sets;
  for (const suite_unit& u : suite_units(suite.definition, o.shard)) {
    for (const class_seeds& c : suite.classes) {
      if (c.cls != u.cls) continue;
      for (const int32_t seed : c.with(status_completed)) {
        if (c.cls->complete || seed == u.seed) sets.push_back({c.cls, seed});
      }
    }
  }
  int64_t instances = 0;
  for (export_set& s : sets) {
    const fs::path place = o.out / set_name(*s.cls, s.seed);
    if (!fs::exists(fs::symlink_status(place, ec))) {
      instances += s.cls->instances;
      continue;
    }
    const fs::path record_path = place / exported_file;
    if (!fs::is_directory(fs::symlink_status(place, ec))) {
      return refuse_here(place.string() +
                         " is no folder of an exported set (a link, or a file); "
                         "remove it, or give a new folder");
    }
    if (!fs::is_regular_file(fs::symlink_status(record_path, ec))) {
      return refuse_here(place.string() + " is no exported set (no " + exported_file +
                         "); remove it, or give a new folder");
    }
    const std::string found = read_small_file(record_path, 1000);
    if (found != record) {
      return refuse_here(place.string() + " was exported as \"" +
                         sheetgen::visible_bytes(found.substr(0, found.find('\n'))) + "\", not \"" +
                         record.substr(0, record.size() - 1) +
                         "\"; give a new folder for an export of other options");
    }
    // Kept only whole, as results reads it: a set damaged since would be
    // kept for good, and results would ask for an export that keeps it.
    std::string damage;
    if (o.to == "packingsolver") {
      for (int64_t k = 1; k <= s.cls->instances && damage.empty(); ++k) {
        const std::string folder = instance_name(k);
        if (!fs::is_directory(fs::symlink_status(place / folder, ec))) {
          damage = folder + " is missing";
          break;
        }
        for (const char* f : export_instance_files) {
          if (damage.empty() && !fs::is_regular_file(fs::symlink_status(place / folder / f, ec)))
            damage = folder + "/" + f + " is missing, or no plain file";
        }
      }
    } else {
      const std::string file = o.to == "json" ? "run.json" : "run.jsonl";
      if (!fs::is_regular_file(fs::symlink_status(place / file, ec)))
        damage = file + " is missing, or no plain file";
    }
    if (!damage.empty()) {
      return refuse_here(place.string() + ": the set is damaged (" + damage + "); remove " +
                         place.string() + " (with what solvers wrote there) and export again");
    }
    s.kept = true;
  }

  // From here on OUT changes.
  if (!fs::exists(fs::symlink_status(sha_path, ec))) write_file(sha_path, sha_line);
  clear_temporaries(o.out, suite, sets, o.shard.whole());
  std::vector<std::size_t> to_write;
  for (std::size_t i = 0; i < sets.size(); ++i)
    if (!sets[i].kept) to_write.push_back(i);
  suite_progress exporting(progress, instances);
  parallel_for(to_write.size(), o.jobs, [&](std::size_t k) {
    const export_set& s = sets[to_write[k]];
    write_set(o, *s.cls, s.seed, exporting.for_run());
  });
  exporting.end();

  report.exported = static_cast<int64_t>(to_write.size());
  report.kept = static_cast<int64_t>(sets.size() - to_write.size());
  return report;
}

}  // namespace sheetkit
