#include "solutions/solution_source.h"

#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <sstream>
#include <system_error>
#include <utility>

#include "files/export_layout.h"
#include "files/files.h"
#include "files/regular_file.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

std::string count_text(int64_t n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

}  // namespace

solution_source::solution_source(solution_places places) : places_(std::move(places)) {
  if (!places_.from_export) {
    places_.placements = false;
    if (places_.paths.empty()) return;
    const std::string& name = places_.paths[0];
    try {
      first_in_ = std::make_unique<std::ifstream>(open_input(name));
      first_reader_ = std::make_unique<solution_reader>(*first_in_, name);
      places_.placements = first_reader_->format() == solution_format::placements;
    } catch (const sheetgen::error& e) {
      first_error_ = e.what();
      first_reader_.reset();
    }
    return;
  }
  const fs::path record = fs::path(places_.paths[0]) / export_record_file;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(record, ec))) return;
  if (!fs::is_regular_file(fs::symlink_status(record, ec)))
    throw sheetgen::error(record.string() + ": not a plain file, where an export keeps its record");
  std::ifstream in = open_input(record.string());
  std::string line;
  char c = 0;
  // A record is one short line: read no more than that.
  while (line.size() < 200 && in.get(c) && c != '\n') line += c;
  read_failed(in, record.string());
  terms_ = parse_export_record(line);
  if (!terms_) {
    throw sheetgen::error(record.string() + ": \"" + sheetgen::visible_bytes(line) +
                          "\" is no record of an export --to packingsolver");
  }
}

fs::path solution_source::instance_folder(int64_t k) const {
  return fs::path(places_.paths[0]) / instance_name(k);
}

judgement solution_source::judge(judge_case c) {
  const int64_t k = c.number;
  if (places_.placements) {
    solution s;
    next_placements(k, s);
    return judge_solution(c, std::move(s));
  }
  fs::path path;
  std::optional<export_contract> contract;
  if (places_.from_export) {
    path = instance_folder(k) / places_.certificate;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) {
      judgement j;
      j.why = path.string() + ": " +
              (ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)).message();
      return j;
    }
    try {
      // In a folder the user did not make: a plain file, or a FIFO could
      // block and a link stand in for it.
      require_plain_file(path);
      contract = read_export_contract(instance_folder(k), c.instance, terms_);
    } catch (const sheetgen::error& e) {
      judgement j;
      j.why = e.what();
      return j;
    }
    c.contract = &*contract;
  } else if (k == 1) {
    // The first file, whose header is read already: a pipe is read once.
    if (!first_reader_) {
      judgement j;
      j.why = first_error_;
      return j;
    }
    return judge_reader(c, *first_reader_, places_.paths[0]);
  } else if (k <= static_cast<int64_t>(places_.paths.size())) {
    path = places_.paths[static_cast<std::size_t>(k - 1)];
  } else {
    judgement j;
    j.why = "no solution file given (" +
            count_text(static_cast<int64_t>(places_.paths.size()), "file") + " for the run)";
    return j;
  }
  return judge_file(c, path);
}

void solution_source::skip(int64_t k) {
  if (!places_.placements) return;
  solution s;
  next_placements(k, s);
}

std::string solution_source::leftover(int64_t instances) {
  if (places_.from_export) {
    std::error_code ec;
    if (fs::exists(instance_folder(instances + 1), ec))
      return instance_folder(instances + 1).string() + " is beyond the run's " +
             count_text(instances, "instance") + ": an export of another run?";
    return "";
  }
  if (!places_.placements) {
    if (static_cast<int64_t>(places_.paths.size()) > instances)
      return count_text(static_cast<int64_t>(places_.paths.size()), "solution file") +
             " for a run of " + count_text(instances, "instance");
    return "";
  }
  solution s;
  const bool found = next_placements(instances + 1, s) && !s.items.empty();
  if (found || pending_) {
    const solution& beyond = pending_ ? *pending_ : s;
    return located(beyond.file, beyond.items.empty() ? 0 : beyond.items[0].line) + ": instance " +
           std::to_string(beyond.instance) + ", beyond the run's " +
           count_text(instances, "instance");
  }
  return "";
}

bool solution_source::next_placements(int64_t k, solution& out) {
  while (true) {
    if (pending_) {
      if (pending_->instance > k) break;
      out = std::move(*pending_);
      pending_.reset();
      if (out.instance == k) return true;
      continue;  // an instance the run has already passed: cannot happen in order
    }
    if (!reader_ || !reader_->next(next_)) {
      if (next_file_ >= places_.paths.size()) break;
      reader_.reset();
      const std::string& name = places_.paths[next_file_++];
      if (next_file_ == 1 && first_reader_) {
        reader_ = std::move(first_reader_);
        in_ = std::move(first_in_);
        continue;
      }
      in_ = std::make_unique<std::ifstream>(open_input(name));
      reader_ = std::make_unique<solution_reader>(*in_, name);
      if (reader_->format() != solution_format::placements)
        throw sheetgen::error(name +
                              ":1: a certificate among placement files; give placement "
                              "files alone, or one certificate per instance");
      continue;
    }
    if (next_.instance <= last_)
      throw sheetgen::error(located(next_.file, next_.items[0].line) + ": instance " +
                            std::to_string(next_.instance) + " after instance " +
                            std::to_string(last_) + " (give the files in the run's order)");
    last_ = next_.instance;
    pending_ = std::move(next_);
  }
  out = solution{};
  out.file = places_.paths.size() == 1 ? places_.paths[0] : "the placement files";
  out.instance = k;
  return true;  // no rows: nothing placed
}

}  // namespace sheetkit
