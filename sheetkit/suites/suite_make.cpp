#include "suites/suite_make.h"

#include <sheetgen/run_files.h>
#include <sheetgen/types.h>
#include <sheetgen/version.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "families/generate.h"
#include "files/files.h"
#include "files/folder_lock.h"
#include "files/regular_file.h"
#include "files/source.h"
#include "suites/sha256.h"
#include "suites/suite_contents.h"
#include "suites/suite_files.h"
#include "suites/suite_manifest.h"
#include "suites/suite_report.h"
#include "suites/suite_work.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// "s12", "s-1": a set's folder name.
bool is_set_folder(const std::string& name) {
  const std::size_t digits = name.size() > 1 && name[1] == '-' ? 2 : 1;
  return name.size() > digits && name[0] == 's' &&
         name.find_first_not_of("0123456789", digits) == std::string::npos;
}

// `bytes` as the new file `path`; the message names the file as the set does.
void put_file(const fs::path& path, std::string_view bytes) {
  try {
    write_new_file(path, bytes);
  } catch (const file_error& e) {
    throw file_error(path.filename().string(), "cannot be written", e.code());
  }
}

// ".NAME.tmp-..." beside `place`: the name a set has until it is complete,
// and on its way out.
fs::path temporary_beside(const fs::path& place) {
  std::string name = ".";
  name += place.filename().string();
  name += unique_suffix();
  return place.parent_path() / name;
}

fs::path new_temporary_folder(const fs::path& place) {
  std::error_code failed;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const fs::path folder = temporary_beside(place);
    if (fs::create_directory(folder, failed)) return folder;
    if (failed) break;
  }
  throw file_error(temporary_beside(place).string(), "cannot be created",
                   failed ? failed : std::make_error_code(std::errc::file_exists));
}

sheetgen::run_parameters answers_of(const suite_class& c, int32_t seed, const fs::path& folder) {
  std::istringstream in(c.answers(seed));
  return read_answers_quietly(in, folder);
}

// Writes the set's record into its temporary folder and renames the
// folder to its place: from then on the set is complete.
void seal_set(const set_record& set, const fs::path& temporary, const fs::path& place) {
  put_file(temporary / suite_files::done, done_text(set));
  std::error_code failed;
  fs::rename(temporary, place, failed);
  if (failed) throw file_error(temporary.filename().string(), "cannot be renamed", failed);
}

// A family class's set: the files sheetkit generate writes, its recipe
// among them, made in `temporary`.
set_record make_family_set(const suite_class& c, int32_t seed, const fs::path& temporary,
                           const fs::path& place, const sheetgen::progress_callback& progress) {
  recipe r;
  r.settings = c.settings(seed);
  const sheetgen::progress_callback counted = as_item_pass(progress);
  generate_run(r, suite_files::recipe, temporary, counted);
  set_record set{&c, seed, status_completed, {}};
  for (const std::string& name : set_file_names(c, status_completed)) {
    const file_digest d = digest_file(temporary / name);
    set.files.push_back({name, d.bytes, d.sha256});
  }
  seal_set(set, temporary, place);
  return set;
}

// Writes one set in a temporary folder beside its place and renames it
// there once its files and their record are complete.
set_record make_set(const fs::path& dir, const suite_class& c, int32_t seed,
                    const sheetgen::progress_callback& progress) {
  const fs::path place = dir / set_name(c, seed);
  const fs::path temporary = new_temporary_folder(place);
  try {
    if (c.family) return make_family_set(c, seed, temporary, place, progress);
    const std::string answers = c.answers(seed);
    put_file(temporary / suite_files::answers, answers);
    const sheetgen::run_parameters p = answers_of(c, seed, temporary);
    set_record set{
        &c, seed, status_completed, {{suite_files::answers, answers.size(), sha256_of(answers)}}};
    try {
      sheetgen::write_run_files(p, temporary, progress);
    } catch (const sheetgen::error&) {
      // A file that could not be written, unless the run itself aborts:
      // then the files stay as sheetgen leaves them.
      if (!ends_in_repair_abort(p)) throw;
      set.status = status_repair_abort;
    }
    std::vector<std::string> written;
    if (set.status == status_completed && c.has_defect_file())
      written.push_back(suite_files::defects);
    written.push_back(suite_files::instances);
    for (const std::string& name : written) {
      const file_digest d = digest_file(temporary / name);
      set.files.push_back({name, d.bytes, d.sha256});
    }
    seal_set(set, temporary, place);
    return set;
  } catch (const sheetgen::error& e) {
    std::error_code ignored;
    fs::remove_all(temporary, ignored);
    throw sheetgen::error(place.string() + ": " + e.what());
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(temporary, ignored);
    throw;
  }
}

// Removes a set's folder by way of a temporary name, so that a make
// killed halfway leaves a temporary, which the next one clears, and never
// half a set under a set's name.
void discard(const fs::path& set) {
  const fs::path temporary = temporary_beside(set);
  std::error_code ec;
  fs::rename(set, temporary, ec);
  if (!ec) fs::remove_all(temporary, ec);
  if (ec) throw file_error(set.string(), "cannot be removed", ec);
}

// A set folder found in DIR: none, one made from the same answers (its
// record), or something else.
struct found_set {
  bool exists = false;
  std::optional<set_record> record;
  std::string differs;  // the file its .done does not describe, when one does not
};

found_set look_at(const fs::path& dir, const suite_class& c, int32_t seed) {
  const fs::path place = dir / set_name(c, seed);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(place, ec))) return {};
  found_set found{true, {}, {}};
  try {
    found.record = read_done(read_small_file(place / suite_files::done, max_done_bytes), c, seed);
  } catch (const sheetgen::error&) {
    return found;  // no record
  }
  const std::string answers = c.source(seed);
  if (found.record && (found.record->files[0].bytes != answers.size() ||
                       found.record->files[0].sha256 != sha256_of(answers))) {
    found.record.reset();
  }
  // Make keeps the set by its .done and writes the manifest from it: held
  // to the files it names, as verify holds it, so that an edited .done is
  // never sealed into the suite.
  if (found.record) {
    for (const set_file& f : found.record->files) {
      const fs::path file = place / f.name;
      const bool plain = fs::is_regular_file(fs::symlink_status(file, ec));
      if (!plain || fs::file_size(file, ec) != f.bytes || digest_file(file).sha256 != f.sha256) {
        found.differs = f.name;  // before the reset, which frees `f`
        found.record.reset();
        break;
      }
    }
  }
  return found;
}

// Whether `folder` holds `name`, following no link.
bool holds(const fs::path& folder, const char* name) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(folder / name, ec));
}

// One set of the plan, and what is done with it.
struct planned_set {
  const suite_class* cls;
  int32_t seed;
  std::optional<set_record> made;  // kept from before, or made now
  bool replace;                    // a folder of other answers is there (--force)
};

// The sets of a make, what is there of them and what keeps it from
// starting; found without writing anything.
struct make_plan {
  std::vector<planned_set> sets;
  std::vector<set_record> skipped;  // seeds of classes with "complete"
  std::string refusal;              // the first set folder in the way
};

make_plan plan_sets(const fs::path& dir, const std::vector<suite_unit>& units,
                    const suite_make_options& o, const sheetgen::progress_callback& progress) {
  make_plan plan;
  const auto add = [&](const suite_class& c, int32_t seed) {
    found_set found = look_at(dir, c, seed);
    const bool foreign = found.exists && !found.record;
    if (foreign && !o.force && plan.refusal.empty()) {
      plan.refusal =
          (dir / set_name(c, seed)).string() +
          (found.differs.empty()
               ? ": not a set made from this suite file's answers; remove it, or give --force to "
                 "make it again"
               : ": its .done does not describe its " + found.differs +
                     " (changed since it was made); remove the set, or give --force to make it "
                     "again");
    }
    plan.sets.push_back({&c, seed, std::move(found.record), foreign});
  };
  suite_progress deciding(progress, 0, "seeds");
  for (const suite_unit& u : units) {
    const suite_class& c = *u.cls;
    if (!c.complete) {
      add(c, u.seed);
      continue;
    }
    const auto decided = decide_seeds(c, o.jobs, [&](int32_t seed) {
      const found_set found = look_at(dir, c, seed);
      if (found.record) return found.record->status == status_completed;
      return !ends_in_repair_abort(answers_of(c, seed, dir), deciding.for_run());
    });
    for (const auto& [seed, completes] : decided) {
      if (completes) {
        add(c, seed);
      } else {
        plan.skipped.push_back({&c, seed, status_skipped, {}});
      }
    }
  }
  deciding.end();
  return plan;
}

// Set folders in DIR that make wrote (they hold .done) and `sets` lacks.
std::vector<fs::path> obsolete_sets(const fs::path& dir, const std::vector<planned_set>& sets) {
  std::vector<fs::path> obsolete;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return obsolete;
  std::set<std::string> wanted;
  for (const planned_set& s : sets) wanted.insert(set_name(*s.cls, s.seed));
  for (const fs::directory_entry& folder : folder_entries(dir)) {
    if (!folder.is_directory(ec) || folder.is_symlink(ec)) continue;
    for (const fs::directory_entry& set : folder_entries(folder.path())) {
      const std::string name = set.path().filename().string();
      if (is_set_folder(name) && holds(set.path(), suite_files::done) &&
          wanted.count(folder.path().filename().string() + "/" + name) == 0) {
        obsolete.push_back(set.path());
      }
    }
  }
  return obsolete;
}

// Removes what a make killed on its way left: the temporary folders of
// the sets that `units` take (of all, for the whole suite) and, for the
// whole suite, the temporary files of suite.json and the manifest.
void clear_temporaries(const fs::path& dir, const suite_definition& suite,
                       const std::vector<suite_unit>& units, bool whole) {
  std::set<std::pair<std::string, int32_t>> own;
  std::set<std::string> own_classes;
  for (const suite_unit& u : units) {
    if (u.cls->complete) {
      own_classes.insert(u.cls->name);
    } else {
      own.insert({u.cls->name, u.seed});
    }
  }
  std::error_code ec;
  std::vector<fs::path> folders;
  if (whole) {
    for (const fs::directory_entry& entry : folder_entries(dir)) {
      const std::string name = entry.path().filename().string();
      for (const char* file : suite_files::top) {
        if (name.rfind(std::string(file) + ".tmp-", 0) == 0) fs::remove(entry.path(), ec);
      }
      // No shard runs while the whole suite's lock is held: theirs are stale.
      if (suite_files::is_lock(name) && name != suite_files::lock) fs::remove(entry.path(), ec);
      if (entry.is_directory(ec) && !entry.is_symlink(ec)) folders.push_back(entry.path());
    }
  } else {
    for (const suite_class& c : suite.classes) folders.push_back(dir / c.name);
  }
  for (const fs::path& folder : folders) {
    if (!fs::is_directory(folder, ec)) continue;
    const std::string cls = folder.filename().string();
    for (const fs::directory_entry& entry : folder_entries(folder)) {
      const std::string name = entry.path().filename().string();
      const std::size_t tmp = name.find(".tmp-");
      if (name.rfind(".s", 0) != 0 || tmp == std::string::npos) continue;
      const std::string seed = name.substr(2, tmp - 2);
      if (whole || own_classes.count(cls) > 0 ||
          (is_set_folder("s" + seed) && seed.size() < 12 &&
           own.count({cls, static_cast<int32_t>(std::stoll(seed))}) > 0)) {
        fs::remove_all(entry.path(), ec);
      }
    }
  }
}

// What make leaves in DIR beside the sets: its own files, their
// temporaries and its locks.
bool own_top_file(const std::string& name) {
  return suite_files::collides(name) || suite_files::is_lock(name);
}

// What a make leaves in DIR before the first set: suite.json, a lock, a
// temporary file. The page, the manifest and SHA256SUMS are no sign of a
// make: a user's folder may hold files of those names.
bool first_trace(const std::string& name) {
  return name == suite_files::definition || suite_files::is_lock(name) ||
         (suite_files::collides(name) && name.find(".tmp-") != std::string::npos);
}

// Whether the folder `dir`, which holds suite.json, holds a suite that make
// began there: only the traces of a make's start (empty class folders
// among them), or a manifest, or a set (complete or on its way) in a
// folder of its own.
bool made_suite(const fs::path& dir) {
  if (holds(dir, suite_files::manifest)) return true;
  bool only_own = true;
  std::error_code ec;
  for (const fs::directory_entry& entry : folder_entries(dir)) {
    if (first_trace(entry.path().filename().string())) continue;
    // A class folder made before its first set, as a make stopped early leaves it.
    const bool folder = entry.is_directory(ec) && !entry.is_symlink(ec);
    if (folder && fs::is_empty(entry.path(), ec)) continue;
    only_own = false;
    if (!folder) continue;
    for (const fs::directory_entry& set : folder_entries(entry.path())) {
      const std::string name = set.path().filename().string();
      if ((is_set_folder(name) && holds(set.path(), suite_files::done)) ||
          (name.rfind(".s", 0) == 0 && name.find(".tmp-") != std::string::npos)) {
        return true;
      }
    }
  }
  return only_own;
}

// Why make must not go on in DIR: a link where it would delete, rename or
// write (a suite file, a class folder of this suite, a set folder or what
// it holds), or something other than a plain file where it reads one.
// Links are refused (status 2, the user's to replace); the rest throws.
std::string links_and_strangers(const fs::path& dir, const suite_definition& suite) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return {};
  const auto link = [](const fs::path& path) {
    return path.string() +
           ": a link; make never deletes, renames or writes through one in a "
           "suite: put the folder or file itself there, or remove the link";
  };
  std::set<std::string> classes;
  for (const suite_class& c : suite.classes) classes.insert(c.name);
  std::vector<fs::path> folders;
  for (const fs::directory_entry& entry : folder_entries(dir)) {
    const std::string name = entry.path().filename().string();
    const bool is_link = entry.is_symlink(ec);
    if (classes.count(name) > 0 && is_link) return link(entry.path());
    if (own_top_file(name)) {
      if (is_link) return link(entry.path());
      require_plain_file(entry.path());
    } else if (entry.is_directory(ec) && !is_link) {
      folders.push_back(entry.path());
    }
  }
  for (const fs::path& folder : folders) {
    for (const fs::directory_entry& set : folder_entries(folder)) {
      const std::string name = set.path().filename().string();
      if (!is_set_folder(name) && name.rfind(".s", 0) != 0) continue;
      if (set.is_symlink(ec)) return link(set.path());
      if (!set.is_directory(ec)) continue;
      for (const fs::directory_entry& file : folder_entries(set.path())) {
        if (file.is_symlink(ec)) return link(file.path());
        require_plain_file(file.path());
      }
    }
  }
  return {};
}

}  // namespace

suite_maker::suite_maker(suite_make_options o) : o_(std::move(o)) {
  definition_text_ = read_small_file(o_.definition_file, max_definition_bytes, true);
  suite_ = read_suite_definition(o_.definition_file, definition_text_, o_.dir);

  const std::string dir = o_.dir.string();
  if (dir.empty() || dir == "-") {
    throw sheetgen::error("-o \"" + dir + "\": a suite is a folder; give its name");
  }
  std::error_code ec;
  const fs::file_status status = fs::status(o_.dir, ec);
  if (fs::exists(status) && !fs::is_directory(status)) {
    throw sheetgen::error(dir + ": not a folder");
  }
  // A suite inside a set, or inside a suite, would be taken for part of it.
  const fs::path full = fs::weakly_canonical(fs::absolute(o_.dir, ec), ec);
  for (fs::path up = full.parent_path(); !up.empty(); up = up.parent_path()) {
    if (holds(up, suite_files::done) ||
        (holds(up, suite_files::manifest) && holds(up, suite_files::definition))) {
      throw sheetgen::error(dir + ": inside the suite or set " + up.string() +
                            "; give a folder outside it");
    }
    if (up == up.parent_path()) break;
  }
  if (!fs::exists(status)) return;
  const bool only_own = [&] {
    for (const fs::directory_entry& entry : folder_entries(o_.dir)) {
      if (!first_trace(entry.path().filename().string())) return false;
    }
    return true;
  }();
  if (holds(o_.dir, suite_files::definition) && made_suite(o_.dir)) {
    const std::string there =
        read_small_file(o_.dir / suite_files::definition, max_definition_bytes);
    if (there != definition_text_ && !o_.force) {
      throw sheetgen::error(dir +
                            " holds the suite of another suite file (its suite.json differs from " +
                            o_.definition_file +
                            "); give --force to make this one there, keeping the sets whose "
                            "answers stay the same");
    }
  } else if (!only_own) {
    // A copy of the suite file among other files is no suite.
    throw sheetgen::error(dir + ": holds files but no suite; give a new or empty folder");
  }
}

namespace {

// DIR's locks: the suite's, shared among shards, and a shard's own.
// Throws when another make holds one.
std::vector<folder_lock> take_locks(const fs::path& dir, const suite_shard& shard) {
  std::vector<folder_lock> locks;
  std::vector<std::pair<std::string, bool>> wanted{{suite_files::lock, !shard.whole()}};
  if (!shard.whole()) wanted.emplace_back(suite_files::shard_lock(shard.k, shard.n), false);
  for (const auto& [name, shared] : wanted) {
    folder_lock::taken by;
    std::optional<folder_lock> lock = folder_lock::take(dir / name, shared, by);
    if (!lock) {
      locks.clear();
      throw sheetgen::error("another make is running in " + dir.string() +
                            (by.pid > 0 ? " (pid " + std::to_string(by.pid) + ")" : "") +
                            "; wait for it to end" +
                            (shard.whole() ? "" : ", or give another shard"));
    }
    locks.push_back(std::move(*lock));
  }
  return locks;
}

// The first thing in DIR that keeps the make from starting: a set folder
// in the way, or a set that the suite file does not give.
std::string refusal_of(const make_plan& plan, const std::vector<fs::path>& obsolete, bool force) {
  if (!plan.refusal.empty()) return plan.refusal;
  if (obsolete.empty() || force) return {};
  return obsolete.front().string() +
         ": a set that the suite file does not give; remove it, or give --force to have it "
         "removed";
}

// The indices of the sets not made yet.
std::vector<std::size_t> still_to_make(const std::vector<planned_set>& sets) {
  std::vector<std::size_t> to_make;
  for (std::size_t i = 0; i < sets.size(); ++i)
    if (!sets[i].made) to_make.push_back(i);
  return to_make;
}

// Clears DIR for the sets to make: the manifest (and the page and sums
// made with it) that would no longer describe it, the obsolete sets and
// the folders of other answers in the sets' places.
void clear_for_sets(const fs::path& dir, const std::vector<planned_set>& sets,
                    const std::vector<std::size_t>& to_make,
                    const std::vector<fs::path>& obsolete) {
  std::error_code ec;
  // A manifest, and the page made from it, stand only beside the sets it
  // lists: the manifest goes first, as it comes last.
  if (!to_make.empty() || !obsolete.empty()) {
    for (const char* file : {suite_files::manifest, suite_files::sums, suite_files::page}) {
      fs::remove(dir / file, ec);
      if (ec) throw file_error((dir / file).string(), "cannot be removed", ec);
    }
  }
  for (const fs::path& set : obsolete) {
    discard(set);
    fs::remove(set.parent_path(), ec);  // a class of the old suite file, once empty
  }
  for (const std::size_t i : to_make) {
    const fs::path place = dir / set_name(*sets[i].cls, sets[i].seed);
    if (sets[i].replace) discard(place);
    fs::create_directories(place.parent_path(), ec);
    if (ec) throw file_error(place.parent_path().string(), "cannot be created", ec);
  }
}

// Makes the sets `to_make`, `jobs` at a time.
void make_sets(const fs::path& dir, std::vector<planned_set>& sets,
               const std::vector<std::size_t>& to_make, int jobs,
               const sheetgen::progress_callback& progress) {
  int64_t instances = 0;
  for (const std::size_t i : to_make) instances += sets[i].cls->instances;
  suite_progress making(progress, instances);
  parallel_for(to_make.size(), jobs, [&](std::size_t k) {
    planned_set& s = sets[to_make[k]];
    s.made = make_set(dir, *s.cls, s.seed, making.for_run());
  });
  making.end();
}

}  // namespace

suite_make_report suite_maker::run(const sheetgen::progress_callback& progress) {
  const fs::path& dir = o_.dir;
  suite_make_report report;
  report.suite = suite_.name;
  report.shard = o_.shard;
  // The locks live in DIR: it is made first, and goes again on a refusal.
  std::error_code ec;
  const bool made_dir = fs::create_directories(dir, ec);
  if (ec) throw file_error(dir.string(), "cannot be created", ec);
  const auto gone = [&] {
    if (made_dir) fs::remove(dir, ec);
  };
  std::vector<folder_lock> locks = take_locks(dir, o_.shard);
  report.refusal = links_and_strangers(dir, suite_);
  if (!report.refusal.empty()) return report;
  const std::vector<suite_unit> units = suite_units(suite_, o_.shard);
  make_plan plan;
  try {
    plan = plan_sets(dir, units, o_, progress);
  } catch (...) {
    locks.clear();
    gone();
    throw;
  }
  std::vector<planned_set>& sets = plan.sets;
  // Sets of another suite file: only the whole suite knows every set it gives.
  const std::vector<fs::path> obsolete =
      o_.shard.whole() ? obsolete_sets(dir, sets) : std::vector<fs::path>{};
  report.refusal = refusal_of(plan, obsolete, o_.force);
  if (!report.refusal.empty()) {
    locks.clear();
    gone();
    return report;
  }

  // From here on DIR changes.
  if (!holds(dir, suite_files::definition) ||
      read_small_file(dir / suite_files::definition, max_definition_bytes) != definition_text_) {
    write_file(dir / suite_files::definition, definition_text_);
  }
  clear_temporaries(dir, suite_, units, o_.shard.whole());
  const std::vector<std::size_t> to_make = still_to_make(sets);
  clear_for_sets(dir, sets, to_make, obsolete);
  make_sets(dir, sets, to_make, o_.jobs, progress);

  report.made = static_cast<int64_t>(to_make.size());
  report.kept = static_cast<int64_t>(sets.size() - to_make.size());
  report.skipped = static_cast<int64_t>(plan.skipped.size());
  for (const planned_set& s : sets) report.aborted += s.made->status == status_repair_abort ? 1 : 0;
  if (!o_.shard.whole()) return report;

  std::vector<set_record> records = std::move(plan.skipped);
  for (planned_set& s : sets) records.push_back(std::move(*s.made));
  const std::string manifest =
      manifest_text(suite_.name, sheetgen::version, records, suite_.has_families());
  // The manifest last: where it stands, the suite is complete, page and all.
  write_file(dir / suite_files::sums, sums_text(records));
  write_file(dir / suite_files::page, suite_report_html(read_suite_contents(dir, manifest),
                                                        progress, static_cast<unsigned>(o_.jobs)));
  write_file(dir / suite_files::manifest, manifest);
  report.manifest_sha256 = sha256_of(manifest);
  return report;
}

}  // namespace sheetkit
