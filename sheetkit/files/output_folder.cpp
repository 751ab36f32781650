#include "files/output_folder.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "files/files.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view marker_heading =
    "# Written by sheetkit, which may replace this folder whole (--force) while it holds\n"
    "# nothing but the names below, where # stands for a number.\n";

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
  if (ec) {
    throw folder_refused("cannot look into " + shown + ": " + ec.message() +
                         "; give a folder you may read and write");
  }
  return empty;
}

// One name of a path against one part of a pattern: "#" is one or more digits.
bool matches(std::string_view name, std::string_view pattern) {
  std::size_t n = 0;
  for (const char p : pattern) {
    if (p != '#') {
      if (n == name.size() || name[n] != p) return false;
      ++n;
      continue;
    }
    const std::size_t start = n;
    while (n < name.size() && std::isdigit(static_cast<unsigned char>(name[n]))) ++n;
    if (n == start) return false;
  }
  return n == name.size();
}

// `relative` is one of `patterns`, or, for a folder, lies above one.
bool named_by(const fs::path& relative, bool folder, const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns) {
    auto r = relative.begin();
    const fs::path p(pattern);
    auto q = p.begin();
    for (; r != relative.end() && q != p.end(); ++r, ++q) {
      if (!matches(r->string(), q->string())) break;
    }
    if (r == relative.end() && (folder ? q != p.end() : q == p.end())) return true;
  }
  return false;
}

// The names that the folder's .sheetkit file lists; nothing without one.
std::optional<std::vector<std::string>> listed_names(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(folder / folder_marker, ec))) return std::nullopt;
  std::istringstream lines(read_whole_file((folder / folder_marker).string()));
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') names.push_back(line);
  }
  return names;
}

// The first file or folder, in name order, that the folder's .sheetkit file
// does not list, as a path relative to it; nothing when every one is listed.
std::optional<std::string> foreign_file(const fs::path& folder) {
  const std::optional<std::vector<std::string>> names = listed_names(folder);
  std::optional<std::string> first;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path relative = it->path().lexically_relative(folder);
    // A link is never followed: removing it removes only the link.
    const bool is_folder = it->is_directory(ec) && !it->is_symlink(ec);
    const bool ours = relative == folder_marker || (names && named_by(relative, is_folder, *names));
    if (!ours) {
      if (!first || relative.string() < *first) first = relative.string();
      if (is_folder) it.disable_recursion_pending();
    }
  }
  if (ec) throw file_error(folder.string(), "cannot be looked into", ec);
  return first;
}

}  // namespace

output_folder::output_folder(std::string path, bool force, const std::vector<std::string>& inputs,
                             std::vector<std::string> names)
    : path_(std::move(path)), force_(force), names_(std::move(names)) {
  const std::string shown = path_.string();
  const std::string what_to_do = "; give a new folder's name with -o";
  if (shown.empty()) throw folder_refused("-o needs a folder's name, not \"\"");
  if (shown == "-") {
    throw folder_refused("-o - (standard output) is only for export --to json or jsonl" +
                         what_to_do);
  }
  std::error_code ec;
  real_ = fs::weakly_canonical(fs::absolute(path_, ec), ec);
  if (ec) throw folder_refused("cannot find where " + shown + " is: " + ec.message() + what_to_do);
  if (!real_.has_filename()) real_ = real_.parent_path();  // "pictures/"

  // A file at the name or above it, or a link that leads nowhere; named as given.
  const fs::path given = path_.lexically_normal();
  for (fs::path at = given;;) {
    const fs::file_status s = fs::status(at, ec);
    if (at.has_filename()) {  // not "pictures/"
      if (fs::is_directory(s)) break;
      const std::string where = at == given ? shown : shown + ": " + at.string();
      if (fs::is_symlink(fs::symlink_status(at, ec))) {
        throw folder_refused(where + " is a link to nothing" + what_to_do);
      }
      if (fs::exists(s)) throw folder_refused(where + " is a file, not a folder" + what_to_do);
    }
    const fs::path up = at.parent_path();
    if (up.empty() || up == at) break;
    at = up;
  }

  if (!fs::is_directory(real_, ec)) return;  // made new: nothing to lose
  // An existing folder is replaced whole, never written into.
  if (within(fs::weakly_canonical(fs::current_path(ec), ec), real_)) {
    throw folder_refused(shown + " is the current folder or one above it, which is never replaced" +
                         what_to_do);
  }
  if (empty_folder(real_, shown)) return;
  if (!force_) {
    throw folder_refused(shown + " is not empty" + what_to_do + ", or add --force to replace " +
                         shown + " whole");
  }
  for (const std::string& input : inputs) {
    if (!input.empty() && within(fs::weakly_canonical(fs::absolute(input, ec), ec), real_)) {
      throw folder_refused("--force would delete " + input + ", which this command reads, with " +
                           shown + what_to_do);
    }
  }
  if (const std::optional<std::string> foreign = foreign_file(real_)) {
    throw folder_refused("--force replaces only a folder of the files sheetkit writes, and " +
                         (fs::path(shown) / *foreign).string() + " is not one of them" +
                         what_to_do);
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
  if (ec) throw file_error(real_.parent_path().string(), "cannot be created", ec);
  for (int attempt = 0; attempt < 16 && fresh_.empty(); ++attempt) {
    fs::path name = real_;
    name += unique_suffix();
    // false when the name is taken: another writer's, so try the next.
    if (fs::create_directory(name, ec)) fresh_ = std::move(name);
    if (ec) break;
  }
  if (fresh_.empty()) {
    throw file_error(path_.string(), "cannot be created",
                     ec ? ec : std::make_error_code(std::errc::file_exists));
  }
  std::string listed(marker_heading);
  for (const std::string& name : names_) listed += name + '\n';
  write_file(fresh_ / folder_marker, listed);
  return fresh_;
}

void output_folder::commit() {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(real_, ec))) {
    fs::rename(fresh_, real_, ec);
    if (ec) throw file_error(path_.string(), "cannot be created", ec);
    fresh_.clear();
    return;
  }
  // Something came to the name since the check: only what it allowed is replaced.
  const bool folder = fs::is_directory(fs::symlink_status(real_, ec));
  const bool allowed = folder && (fs::is_empty(real_, ec) || (force_ && !foreign_file(real_)));
  if (!allowed) {
    throw sheetgen::error("Cannot replace " + path_.string() +
                          ": what is there now came after the command started");
  }
  fs::permissions(fresh_, fs::status(real_, ec).permissions(), ec);
  fs::path aside = real_;
  aside += unique_suffix("old");
  fs::rename(real_, aside, ec);
  if (ec) throw file_error(path_.string(), "cannot be replaced", ec);
  fs::rename(fresh_, real_, ec);
  if (ec) {
    const std::error_code failed = ec;
    fs::rename(aside, real_, ec);
    throw file_error(path_.string(), "cannot be replaced", failed);
  }
  fresh_.clear();
  fs::remove_all(aside, ec);
  if (ec) {
    throw sheetgen::error(path_.string() + " is written, but the folder it replaced is left at " +
                          aside.string() + " (" + ec.message() + "): remove that by hand");
  }
}

}  // namespace sheetkit
