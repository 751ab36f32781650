#include "solutions/judge.h"

#include <sheetgen/types.h>

#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#include "files/files.h"
#include "solutions/solution_reader.h"

namespace sheetkit {

namespace fs = std::filesystem;

judgement judge_solution(const judge_case& c, solution s) {
  judgement j;
  solution_rules rules = c.rules;
  if (c.contract != nullptr) {
    rules.type_copies = c.contract->copies;
    rules.type_rotation = c.contract->rotation;
    rules.copies = c.contract->terms.copies;
    rules.rotation = c.contract->terms.rotation;
  }
  j.report = check_solution(c.instance, s, rules);
  if (c.contract != nullptr) {
    for (const std::string& d : c.contract->differences) j.report.add({d}, rules.max_violations);
  }
  j.read = std::move(s);
  j.judged = true;
  return j;
}

namespace {

// The solutions read, judged as instance `c.number`'s: one certificate, or
// the placement rows of that instance alone.
judgement judge_read(const judge_case& c, std::vector<solution> all, const std::string& file,
                     const std::string& name) {
  judgement j;
  // A placement file with no rows places nothing: a solution all the same.
  if (all.empty()) {
    all.emplace_back().file = name.empty() ? file : name;
    all[0].instance = c.number;
  }
  const solution& first = all[0];
  if (all.size() != 1 ||
      (first.format == solution_format::placements && first.instance != c.number)) {
    std::string held;
    for (std::size_t k = 0; k < all.size() && k < 3; ++k)
      held += (k > 0 ? ", " : "") + std::to_string(all[k].instance);
    if (all.size() > 3) held += ", ...";
    j.why = file + ": its instance column says " + (all.size() == 1 ? "instance " : "instances ") +
            held + ", where this is instance " + std::to_string(c.number) +
            " (a placement file's instance column is the 1-based instance it places)";
    return j;
  }
  solution s = std::move(all[0]);
  if (!name.empty()) s.file = name;
  return judge_solution(c, std::move(s));
}

}  // namespace

judgement judge_reader(const judge_case& c, solution_reader& reader, const std::string& file) {
  std::vector<solution> all;
  try {
    solution s;
    while (reader.next(s)) all.push_back(std::move(s));
  } catch (const sheetgen::error& e) {
    judgement j;
    j.why = e.what();
    return j;
  }
  return judge_read(c, std::move(all), file, {});
}

judgement judge_file(const judge_case& c, const fs::path& file, const std::string& name) {
  judgement j;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) {
    j.why = file_message(file.string(), "cannot be read",
                         ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
    return j;
  }
  std::vector<solution> all;
  try {
    std::ifstream in = open_input(file.string());
    solution_reader reader(in, name.empty() ? file.string() : name);
    solution s;
    while (reader.next(s)) all.push_back(std::move(s));
  } catch (const sheetgen::error& e) {
    j.why = e.what();
    return j;
  }
  return judge_read(c, std::move(all), file.string(), name);
}

}  // namespace sheetkit
