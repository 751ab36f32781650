#include "inspect/check.h"

#include <sheetgen/value_file.h>

#include <climits>
#include <fstream>
#include <functional>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/files.h"
#include "files/held_to_answers.h"
#include "files/instance_reader.h"
#include "text/text.h"

namespace sheetkit {

namespace {

class problem_list {
 public:
  explicit problem_list(std::ostream& out) : out_(out) {}

  void add(std::string_view text) {
    if (++count_ <= max_problems_shown) out_ << text << '\n';
  }
  void add(std::string_view file, int64_t line, std::string_view what) {
    if (++count_ <= max_problems_shown) out_ << file << ':' << line << ": " << what << '\n';
  }
  void finish() {
    if (count_ > max_problems_shown) {
      out_ << "... and " << count_of(count_ - max_problems_shown, "more problem") << '\n';
    }
  }
  int64_t count() const { return count_; }

 private:
  std::ostream& out_;
  int64_t count_ = 0;
};

std::string dimensions(int64_t a, int64_t b) {
  return std::to_string(a) + " x " + std::to_string(b);
}

// Item types longer or wider than the object: sheetgen writes them when no
// shape of the area drawn fits the object, so they are no problem, but a
// reader of the run should hear of them. The first few by place, then how
// many; after the verdict, which they do not change.
class oversize_notes {
 public:
  static constexpr int shown = 3;

  void add(std::string_view file, int64_t line, const rectangle& r, const rectangle& object) {
    if (++count_ > shown) return;
    const bool longer = r.length > object.length;
    const bool wider = r.width > object.width;
    listed_ += std::string(file) + ':' + std::to_string(line) + ": note: item type " +
               dimensions(r.length, r.width) + " is " +
               (longer && wider ? "longer and wider"
                : longer        ? "longer"
                                : "wider") +
               " than the object (" + dimensions(object.length, object.width) + ")\n";
  }

  void write(std::ostream& out) const {
    if (count_ == 0) return;
    out << listed_ << "note: " << count_of(count_, "item type") << (count_ == 1 ? " is" : " are")
        << " longer or wider than the object, as sheetgen writes item types when no shape of "
           "their area fits it; this is not a problem\n";
  }

 private:
  int64_t count_ = 0;
  std::string listed_;
};

class run_checker {
 public:
  run_checker(const run_info& run, bool with_defects, problem_list& problems, oversize_notes& notes)
      : run_(run),
        answers_(run.answers ? &*run.answers : nullptr),
        counted_(run.answers || run.family),
        asked_(run.answers  ? run.answers->no_instances
               : run.family ? run.family->instances
                            : 0),
        asked_by_(run.answers ? "the answers ask" : "the recipe asks"),
        with_defects_(with_defects),
        problems_(problems),
        notes_(notes),
        min_area_(answers_ ? answers_->minarea : INT32_MIN),
        max_area_(answers_ ? answers_->maxarea : INT32_MAX) {}

  void check(const instance& in) {
    items_ += static_cast<int64_t>(in.items.size());
    defects_ += static_cast<int64_t>(in.defects.size());
    const bool asked_for = !counted_ || in.number <= asked_;
    if (!asked_for && in.number == asked_ + 1) {
      first_extra_items_ = in.item_line;
      first_extra_defects_ = in.defect_line;
    }
    if (answers_ != nullptr && asked_for) check_counts(in);
    // A recipe tells what each block holds; verify compares them.
    if (!counted_) compare_with_first(in);
    // The one loop that sees every item line. Runs of items are first only
    // asked whether any has something to say, without a branch an item, so
    // that the compiler can take several at once; a run that has is gone
    // through again item by item.
    const std::span<const rectangle> items = in.items;
    constexpr std::size_t run = 256;
    for (std::size_t start = 0; start < items.size(); start += run) {
      const std::span<const rectangle> some =
          items.subspan(start, std::min(run, items.size() - start));
      if (!any_odd(some)) continue;
      for (std::size_t i = 0; i < some.size(); ++i) {
        if (any_odd(some.subspan(i, 1))) {
          item_problem(some[i], in.item_line + static_cast<int64_t>(start + i));
        }
      }
    }
    if (!with_defects_) return;
    for (std::size_t k = 0; k < in.defects.size(); ++k) {
      defect_problems(in.defects[k], k, asked_for, in.defect_line + static_cast<int64_t>(k));
    }
  }

  // What only the end of both files tells: how many blocks there were.
  void check_block_count(const instance_reader& reader) {
    if (!counted_) return;
    const int64_t asked = asked_;
    const int64_t found = reader.instances();
    const std::string asked_text = ", but " + asked_by_ + " for " + count_of(asked, "instance");
    if (found < asked) {
      problems_.add(run_.instance_file, reader.item_end_line(),
                    "file ends after " + count_of(found, "block") + asked_text + ": cut short?");
      if (with_defects_) {
        problems_.add(run_.defect_file, reader.defect_end_line(),
                      "file ends after " + count_of(found, "block") + asked_text + ": cut short?");
      }
    } else if (found > asked) {
      const std::string extra = found - asked == 1 ? "block " + std::to_string(found) + " is"
                                                   : "blocks " + std::to_string(asked + 1) +
                                                         " to " + std::to_string(found) + " are";
      const std::string what =
          extra + " beyond the run: the file has " + count_of(found, "block") + asked_text;
      problems_.add(run_.instance_file, first_extra_items_, what);
      if (with_defects_) problems_.add(run_.defect_file, first_extra_defects_, what);
    }
  }

  int64_t items() const { return items_; }
  int64_t defects() const { return defects_; }

 private:
  void check_counts(const instance& in) {
    count_mismatches(
        in, *answers_, with_defects_, [&](bool defect_file, int64_t line, const std::string& what) {
          problems_.add(defect_file ? run_.defect_file : run_.instance_file, line, what);
        });
  }

  // Whether an item has something to say: a wrong area, one outside the
  // bounds, or a side longer than the object's. Differences that must not
  // be negative, and products less areas that must be zero, are gathered
  // in two words: no branch and no comparison an item.
  bool any_odd(std::span<const rectangle> items) const {
    const rectangle& object = run_.object;
    int64_t beyond = 0;
    int64_t differs = 0;
    for (const rectangle& r : items) {
      beyond |= (int64_t{max_area_} - r.area) | (int64_t{r.area} - min_area_) |
                (int64_t{object.length} - r.length) | (int64_t{object.width} - r.width);
      differs |= (int64_t{r.length} * r.width) ^ r.area;
    }
    return beyond < 0 || differs != 0;
  }

  // Without the answers, the first block stands for the run: every block
  // of a run has as many item types, as many defects, and the k-th defect
  // of the same size.
  void compare_with_first(const instance& in) {
    if (in.number == 1) {
      first_items_ = in.items.size();
      first_defects_.clear();
      for (const placed_defect& d : in.defects) first_defects_.push_back(size_of(d));
      return;
    }
    const std::string block = "block " + std::to_string(in.number) + " has ";
    if (in.items.size() != first_items_) {
      problems_.add(run_.instance_file, in.item_line,
                    block + count_of(static_cast<int64_t>(in.items.size()), "item type") +
                        " where block 1 has " + std::to_string(first_items_));
    }
    if (!with_defects_) return;
    if (in.defects.size() != first_defects_.size()) {
      problems_.add(run_.defect_file, in.defect_line,
                    block + count_of(static_cast<int64_t>(in.defects.size()), "defect") +
                        " where block 1 has " + std::to_string(first_defects_.size()));
    }
    const std::size_t both = std::min(in.defects.size(), first_defects_.size());
    for (std::size_t k = 0; k < both; ++k) {
      const std::pair<int64_t, int64_t> size = size_of(in.defects[k]);
      if (size == first_defects_[k]) continue;
      problems_.add(run_.defect_file, in.defect_line + static_cast<int64_t>(k),
                    "defect " + std::to_string(k + 1) + " is " +
                        dimensions(size.first, size.second) + " where it is " +
                        dimensions(first_defects_[k].first, first_defects_[k].second) +
                        " in block 1");
    }
  }

  static std::pair<int64_t, int64_t> size_of(const placed_defect& d) {
    return {int64_t{d.x2} - d.x1, int64_t{d.y2} - d.y1};
  }

  void item_problem(const rectangle& r, int64_t line) {
    const int64_t product = int64_t{r.length} * r.width;
    if (product != r.area) {
      problems_.add(run_.instance_file, line,
                    "area " + std::to_string(r.area) + " is not length x width = " +
                        dimensions(r.length, r.width) + " = " + std::to_string(product));
    }
    if (r.area < min_area_ || r.area > max_area_) {
      problems_.add(run_.instance_file, line,
                    "area " + std::to_string(r.area) + " is outside the admissible areas " +
                        std::to_string(min_area_) + " to " + std::to_string(max_area_));
    }
    if (r.length > run_.object.length || r.width > run_.object.width) {
      notes_.add(run_.instance_file, line, r, run_.object);
    }
  }

  void defect_problems(const placed_defect& d, std::size_t k, bool asked_for, int64_t line) {
    const std::string name = "defect " + std::to_string(k + 1);
    const int64_t length = int64_t{d.x2} - d.x1;
    const int64_t width = int64_t{d.y2} - d.y1;
    if (answers_ != nullptr && asked_for && k < static_cast<std::size_t>(answers_->no_defects)) {
      const std::optional<std::string> size = defect_size_mismatch(d, k, *answers_);
      if (size) problems_.add(run_.defect_file, line, *size);
    }
    const rectangle& object = run_.object;
    std::string what;
    if (d.x1 < 0 || d.y1 < 0) {
      what = " starts outside the object, at (" + std::to_string(d.x1) + ", " +
             std::to_string(d.y1) + ")";
    } else if (length <= 0 || width <= 0) {
      what = " has no area: x1 " + std::to_string(d.x1) + ", y1 " + std::to_string(d.y1) + ", x2 " +
             std::to_string(d.x2) + ", y2 " + std::to_string(d.y2);
    } else if (d.x2 > object.length) {
      what = " reaches x2 = " + std::to_string(d.x2) + ", beyond the object's length " +
             std::to_string(object.length);
    } else if (d.y2 > object.width) {
      what = " reaches y2 = " + std::to_string(d.y2) + ", beyond the object's width " +
             std::to_string(object.width);
    }
    if (!what.empty()) problems_.add(run_.defect_file, line, name + what);
  }

  const run_info& run_;
  const sheetgen::run_parameters* answers_;
  bool counted_;   // whether the answers or a recipe tell how many instances there are
  int64_t asked_;  // how many they ask for
  std::string asked_by_;
  bool with_defects_;
  problem_list& problems_;
  oversize_notes& notes_;
  int32_t min_area_;
  int32_t max_area_;
  int64_t items_ = 0;
  int64_t defects_ = 0;
  int64_t first_extra_items_ = 0;
  int64_t first_extra_defects_ = 0;
  std::size_t first_items_ = 0;                             // in block 1
  std::vector<std::pair<int64_t, int64_t>> first_defects_;  // their sizes in block 1
};

// The readers end their messages on a file that stops too soon with a
// question; here the file is known to end, so say it plainly and how much
// of it is whole.
std::string cut_short(std::string message, int64_t complete, const run_info& run) {
  if (message.find("cut short") == std::string::npos) return message;
  for (const std::string_view ending : {" (cut short?)", ": cut short?"}) {
    if (message.ends_with(ending)) {
      // Erased, not resized: g++ 12 warns falsely on resize(size() - n) here.
      message.erase(message.end() - static_cast<std::ptrdiff_t>(ending.size()), message.end());
      break;
    }
  }
  message += "; the file is cut short after " + count_of(complete, "complete block");
  if (run.answers) message += " of the " + std::to_string(run.answers->no_instances) + " asked for";
  if (run.family) message += " of the " + std::to_string(run.family->instances) + " asked for";
  return message;
}

// A family run's value file, held line by line to the instance file: a
// block for every block, a line for every item type. What its reader
// throws ends its check (it cannot go on), not the instance file's.
class value_lines {
 public:
  value_lines(const run_info& run, problem_list& problems)
      : name_(run.value_file), problems_(problems) {
    if (name_.empty()) return;
    try {
      in_ = open_input(name_);
      reader_.emplace(in_, name_);
    } catch (const sheetgen::error& e) {
      problems_.add(e.what());
    }
  }

  void check(const instance& in) {
    if (!reader_) return;
    try {
      if (!reader_->next(block_)) {
        problems_.add(name_, reader_->end_line(),
                      "file ends after " + count_of(in.number - 1, "block") + ", but " +
                          count_of(in.number, "block") + " are in the instance file");
        reader_.reset();
        return;
      }
    } catch (const sheetgen::error& e) {
      problems_.add(e.what());
      reader_.reset();
      return;
    }
    if (block_.size() != in.items.size()) {
      problems_.add(name_, reader_->block_line(),
                    "block " + std::to_string(in.number) + " has " +
                        count_of(static_cast<int64_t>(block_.size()), "line") +
                        " where the instance file has " +
                        count_of(static_cast<int64_t>(in.items.size()), "item type") + " (line " +
                        std::to_string(in.item_line) + ")");
    }
  }

  void finish(const instance_reader& items) {
    if (!reader_) return;
    try {
      if (reader_->next(block_)) {
        problems_.add(name_, reader_->block_line(),
                      "block " + std::to_string(items.instances() + 1) +
                          " is beyond the instance file's " + count_of(items.instances(), "block"));
      }
    } catch (const sheetgen::error& e) {
      problems_.add(e.what());
    }
  }

 private:
  std::string name_;
  problem_list& problems_;
  std::ifstream in_;
  std::optional<sheetgen::value_reader> reader_;
  std::vector<sheetgen::item_value> block_;
};

// `open` makes the reader; what it throws is a problem of the files.
int64_t check_run(const run_info& run, const std::function<instance_reader()>& open,
                  bool with_defects, problem_list& problems, std::ostream& out,
                  const sheetgen::progress_callback& progress) {
  oversize_notes notes;
  run_checker checker(run, with_defects, problems, notes);
  const int64_t total = run.answers  ? run.answers->no_instances
                        : run.family ? run.family->instances
                                     : 0;
  value_lines values(run, problems);
  const auto report = [&](int64_t done) {
    if (progress) progress({"check", done, total, checker.items() + checker.defects(), "lines"});
  };
  std::optional<instance_reader> reader;
  try {
    reader.emplace(open());
    instance in;
    report(0);
    while (reader->next(in)) {
      checker.check(in);
      values.check(in);
      report(in.number);
    }
    checker.check_block_count(*reader);
    values.finish(*reader);
  } catch (const sheetgen::error& e) {
    // A reader that has thrown cannot go on: nothing after this is known.
    problems.add(cut_short(e.what(), reader ? reader->instances() : 0, run));
  }
  problems.finish();
  if (problems.count() == 0) {
    out << run.instance_file << (with_defects ? ", " + run.defect_file : "")
        << (run.value_file.empty() ? "" : ", " + run.value_file) << ": "
        << count_of(reader->instances(), "instance") << ", "
        << count_of(checker.items(), "item type");
    if (with_defects) out << ", " << count_of(checker.defects(), "defect");
    out << "; no problems found\n";
  }
  notes.write(out);
  return problems.count();
}

}  // namespace

int64_t check_streams(const run_info& run, std::istream& instances, std::istream* defects,
                      std::ostream& out, const sheetgen::progress_callback& progress) {
  problem_list problems(out);
  const auto open = [&] {
    return instance_reader(instances, run.instance_file, defects, run.defect_file);
  };
  return check_run(run, open, defects != nullptr, problems, out, progress);
}

int64_t check_files(const run_info& run, std::ostream& out,
                    const std::function<void(const file_error&)>& unreadable,
                    const sheetgen::progress_callback& progress) {
  // By name: a regular file is mapped, the fastest way to read it.
  std::optional<sheetgen::instance_reader> items(open_items(run.instance_file));
  // Without its defect file, a run's instances can still be checked: a run
  // stopped before the defects leaves them alone. The file is still a
  // problem.
  std::optional<sheetgen::defect_reader> defects;
  bool with_defects = !run.defect_file.empty();
  if (with_defects) {
    try {
      defects.emplace(open_defects(run.defect_file));
    } catch (const file_error& e) {
      unreadable(e);
      with_defects = false;
    }
  }
  problem_list problems(out);
  const auto open = [&] {
    return instance_reader(std::move(*items), run.instance_file, std::move(defects),
                           run.defect_file);
  };
  const int64_t found = check_run(run, open, with_defects, problems, out, progress);
  const bool unread = !run.defect_file.empty() && !with_defects;
  return found + (unread ? 1 : 0);
}

}  // namespace sheetkit
