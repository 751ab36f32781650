#include "files/output_folder.h"

#include <sheetgen/types.h>

#include <system_error>
#include <utility>

#include "files/files.h"
#include "cli/usage_error.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

// `inner` is `outer` or lies below it (both absolute, links resolved).
bool within(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // the empty name after a trailing separator
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

bool empty_folder(const fs::path& folder, const std::string& shown) {
  std::error_code ec;
  const bool empty = fs::directory_iterator(folder, ec) == fs::directory_iterator();
  if (ec) throw usage_error("cannot look into " + shown + "; give a folder you may read and write");
  return empty;
}

}  // namespace

output_folder::output_folder(std::string path, bool force, const std::vector<std::string>& inputs)
    : path_(std::move(path)), force_(force) {
  const std::string shown = path_.string();
  const std::string what_to_do = "; give a new folder's name with -o";
  if (shown.empty()) throw usage_error("-o needs a folder's name, not \"\"");
  if (shown == "-") {
    throw usage_error("-o - (standard output) is only for export --to json or jsonl" + what_to_do);
  }
  std::error_code ec;
  real_ = fs::weakly_canonical(fs::absolute(path_, ec), ec);
  if (ec) throw usage_error("cannot find where " + shown + " is" + what_to_do);
  if (!real_.has_filename()) real_ = real_.parent_path();  // "pictures/"

  // A file at the name or above it, or a link that leads nowhere; named as given.
  const fs::path given = path_.lexically_normal();
  for (fs::path at = given;;) {
    const fs::file_status s = fs::status(at, ec);
    if (at.has_filename()) {  // not "pictures/"
      if (fs::is_directory(s)) break;
      const std::string where = at == given ? shown : shown + ": " + at.string();
      if (fs::is_symlink(fs::symlink_status(at, ec))) {
        throw usage_error(where + " is a link to nothing" + what_to_do);
      }
      if (fs::exists(s)) throw usage_error(where + " is a file, not a folder" + what_to_do);
    }
    const fs::path up = at.parent_path();
    if (up.empty() || up == at) break;
    at = up;
  }

  if (!fs::is_directory(real_, ec)) return;  // made new: nothing to lose
  // An existing folder is replaced whole, never written into.
  if (within(fs::weakly_canonical(fs::current_path(ec), ec), real_)) {
    throw usage_error(shown + " is the current folder or one above it, which is never replaced" +
                      what_to_do);
  }
  if (!empty_folder(real_, shown) && !force_) {
    throw usage_error(shown + " is not empty" + what_to_do + ", or add --force to replace " +
                      shown + " whole");
  }
  for (const std::string& input : inputs) {
    if (!input.empty() && within(fs::weakly_canonical(fs::absolute(input, ec), ec), real_)) {
      throw usage_error("--force would delete " + input + ", which this command reads, with " +
                        shown + what_to_do);
    }
  }
}

output_folder::~output_folder() {
  if (!fresh_.empty()) {
    std::error_code ignored;
    fs::remove_all(fresh_, ignored);
  }
}

fs::path output_folder::begin() {
  std::error_code ec;
  fs::create_directories(real_.parent_path(), ec);
  for (int attempt = 0; attempt < 16 && fresh_.empty(); ++attempt) {
    fs::path name = real_;
    name += unique_suffix();
    // false when the name is taken: another writer's, so try the next.
    if (fs::create_directory(name, ec)) fresh_ = std::move(name);
    if (ec) break;
  }
  if (fresh_.empty()) throw sheetgen::error("Cannot create folder " + path_.string() + "!");
  return fresh_;
}

void output_folder::commit() {
  const auto fail = [&](const std::string& what) {
    throw sheetgen::error("Cannot " + what + " " + path_.string() + "!");
  };
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(real_, ec))) {
    fs::rename(fresh_, real_, ec);
    if (ec) fail("create folder");
    fresh_.clear();
    return;
  }
  // Something came to the name since the check: only what it allowed is replaced.
  if (!fs::is_directory(fs::symlink_status(real_, ec)) ||
      (!force_ && fs::directory_iterator(real_, ec) != fs::directory_iterator())) {
    fail("replace");
  }
  fs::permissions(fresh_, fs::status(real_, ec).permissions(), ec);
  fs::path aside = real_;
  aside += unique_suffix("old");
  fs::rename(real_, aside, ec);
  if (ec) fail("replace folder");
  fs::rename(fresh_, real_, ec);
  if (ec) {
    fs::rename(aside, real_, ec);
    fail("replace folder");
  }
  fresh_.clear();
  fs::remove_all(aside, ec);
  if (ec) {
    throw sheetgen::error(path_.string() + " is written, but the folder it replaced is left at " +
                          aside.string() + ": remove that by hand");
  }
}

}  // namespace sheetkit
