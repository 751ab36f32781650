#include "cli/solution_command.h"

#include <sheetgen/types.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/run_options.h"
#include "cli/usage_error.h"
#include "files/output_folder.h"
#include "files/instance_reader.h"
#include "files/source.h"
#include "files/suggest.h"
#include "files/text.h"
#include "solutions/claims.h"
#include "solutions/export_contract.h"
#include "solutions/solution_check.h"
#include "solutions/solution_picture.h"
#include "solutions/solution_reader.h"
#include "solutions/solution_summary.h"

namespace sheetkit {

const char* const solution_footer =
    "SOLUTIONS are an export folder (export --to packingsolver -o DIR) whose instance_K/\n"
    "hold the solver's certificates (named by --certificate), or one certificate file per\n"
    "instance in the run's order, or placement files (header instance,item_type,x,y,rotated)\n"
    "for the whole run. Item types and defects are numbered from 0, as the export's rows.\n"
    "From an export folder the copies and the rotation are those its items.csv gave the\n"
    "solver, and its files are held to ours; otherwise --copies and --rotation give them.\n"
    "The guillotine options are PackingSolver's own: pass the same to both.";

namespace {

namespace fs = std::filesystem;

struct solution_options {
  run_options source;
  std::vector<std::string> solutions;
  std::string certificate = "solution.csv";
  std::string copies = "1";
  CLI::Option* copies_given = nullptr;
  bool rotation = false;
  std::string claims;
  int64_t stages = 3;
  std::string cut_type = "non-exact";
  std::string first_stage = "any";
  int64_t cut_thickness = 0;
  int64_t minimum_waste = 1;
  bool through_defects = false;
  std::string format = "text";
  bool json = false;
  // draw
  std::string dir;
  bool force = false;
  std::string instances = "1-4";
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::optional<output_folder> folder;

  solution_rules rules;
  bool from_export = false;  // the one SOLUTIONS is an export folder
  bool placements = false;   // SOLUTIONS are placement files for the run
};

// One of `choices`, or a usage error that names them and the nearest.
void require_one_of(const std::string& option, const std::string& value,
                    const std::vector<std::string>& choices) {
  for (const std::string& c : choices)
    if (c == value) return;
  const std::optional<std::string> guess = nearest(value, choices);
  throw usage_error(option + " takes " + one_of(choices) + ", not \"" + value + "\"" +
                    (guess ? "; did you mean " + *guess + "?" : ""));
}

// The first line of `path`, without a byte order mark or line end.
std::string header_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return "";
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void add_options(CLI::App& app, solution_options& o) {
  o.source.add_to(app);
  app.add_option("SOLUTIONS", o.solutions,
                 "An export folder, a certificate per instance, or placement files")
      ->required()
      ->type_name("");
  app.add_option("--certificate", o.certificate,
                 "In an export folder: the certificate's name in each instance_K/ (default\n"
                 "solution.csv)")
      ->type_name("NAME");
  o.copies_given = app.add_option("--copies", o.copies,
                                  "Copies of each item type: N or unlimited (default 1)")
                       ->type_name("N|unlimited");
  app.add_flag("--rotation", o.rotation, "Items may be turned by 90 degrees");
  app.add_option("--claims", o.claims,
                 "The solver's --output JSON: figures that disagree are violations (in an\n"
                 "export folder: its name in each instance_K/)")
      ->type_name("FILE");
  app.add_option("--number-of-stages", o.stages, "Guillotine: levels of cuts (default 3)")
      ->type_name("N")
      ->check(CLI::Range(int64_t{1}, int64_t{1000}).description(""));
  app.add_option("--cut-type", o.cut_type,
                 "Guillotine: non-exact (default; the last stage's pieces may be trimmed) or\n"
                 "exact")
      ->type_name("TYPE");
  app.add_option("--first-stage-orientation", o.first_stage,
                 "Guillotine: vertical, horizontal or any (default)")
      ->type_name("O");
  app.add_option("--cut-thickness", o.cut_thickness, "Guillotine: the blade's width (default 0)")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber.description(""));
  app.add_option("--minimum-waste-length", o.minimum_waste,
                 "Guillotine: a waste piece's least width across its cut (default 1)")
      ->type_name("L")
      ->check(CLI::NonNegativeNumber.description(""));
  app.add_flag("--cut-through-defects", o.through_defects, "Guillotine: cuts may cross defects");
}

// Checks the options and settles where the solutions come from; throws
// usage_error before anything is read.
void prepare(solution_options& o) {
  require_one_of("--cut-type", o.cut_type, {"non-exact", "exact"});
  require_one_of("--first-stage-orientation", o.first_stage, {"vertical", "horizontal", "any"});
  solution_rules& r = o.rules;
  r.guillotine.number_of_stages = o.stages;
  r.guillotine.non_exact = o.cut_type == "non-exact";
  r.guillotine.first_stage_orientation = o.first_stage == "vertical"     ? stage_orientation::vertical
                                         : o.first_stage == "horizontal" ? stage_orientation::horizontal
                                                                         : stage_orientation::any;
  r.guillotine.cut_thickness = o.cut_thickness;
  r.guillotine.minimum_waste_length = o.minimum_waste;
  r.guillotine.cut_through_defects = o.through_defects;
  r.rotation = o.rotation;
  if (o.copies == "unlimited") {
    r.copies = unlimited_copies;
  } else if (const std::optional<int64_t> n = parse_positive(o.copies)) {
    r.copies = *n;
  } else {
    throw usage_error("--copies takes a positive number or unlimited, not \"" + o.copies + "\"");
  }
  std::error_code ec;
  o.from_export = o.solutions.size() == 1 && fs::is_directory(o.solutions[0], ec);
  if (o.from_export && (o.copies_given->count() > 0 || o.rotation)) {
    throw usage_error(
        "the export folder's items.csv gives the copies and the rotation the solver was given; "
        "leave out --copies and --rotation");
  }
  for (const std::string& path : o.solutions) {
    if (o.from_export) break;
    if (fs::is_directory(path, ec))
      throw usage_error(path + " is a folder; give an export folder alone, or solution files");
  }
  o.placements = !o.from_export && header_of(o.solutions[0]) == placements_header;
  if (!o.claims.empty() && !o.from_export && (o.placements || o.solutions.size() != 1)) {
    throw usage_error("--claims FILE goes with one certificate, or names the file in each "
                      "instance folder of an export");
  }
}

// The solutions, an instance at a time, in the run's order.
class solution_source {
 public:
  explicit solution_source(const solution_options& o) : o_(o) {}

  // Instance k's solution into `out`; false, with `why`, when it has none.
  bool fetch(int64_t k, solution& out, std::string& why) {
    if (o_.placements) return next_placements(k, out, why);
    fs::path path;
    if (o_.from_export) {
      path = instance_folder(k) / o_.certificate;
    } else if (k <= static_cast<int64_t>(o_.solutions.size())) {
      path = o_.solutions[static_cast<std::size_t>(k - 1)];
    } else {
      why = "no solution file given (" + count_of(static_cast<int64_t>(o_.solutions.size()), "file") +
            " for the run)";
      return false;
    }
    std::error_code ec;
    if (!fs::exists(path, ec)) {
      why = path.string() + ": " + (ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)).message();
      return false;
    }
    std::vector<solution> all;
    try {
      all = read_solution(path);
    } catch (const sheetgen::error& e) {
      why = e.what();
      return false;
    }
    if (all.size() != 1 || (all[0].format == solution_format::placements && all[0].instance != k)) {
      why = path.string() + ": holds placements of " +
            (all.empty() ? std::string("no instance") : "instance " + std::to_string(all[0].instance)) +
            ", not of instance " + std::to_string(k) + " alone";
      return false;
    }
    out = std::move(all[0]);
    return true;
  }

  fs::path instance_folder(int64_t k) const {
    return fs::path(o_.solutions[0]) / ("instance_" + std::to_string(k));
  }

  // After the run's `instances`: what the solutions hold beyond them.
  std::string leftover(int64_t instances) {
    if (o_.from_export) {
      std::error_code ec;
      if (fs::exists(instance_folder(instances + 1), ec))
        return instance_folder(instances + 1).string() + " is beyond the run's " +
               count_of(instances, "instance") + ": an export of another run?";
      return "";
    }
    if (!o_.placements) {
      if (static_cast<int64_t>(o_.solutions.size()) > instances)
        return count_of(static_cast<int64_t>(o_.solutions.size()), "solution file") +
               " for a run of " + count_of(instances, "instance");
      return "";
    }
    solution s;
    std::string why;
    const bool found = next_placements(instances + 1, s, why) && !s.items.empty();
    if (found || pending_) {
      const solution& beyond = pending_ ? *pending_ : s;
      return located(beyond.file, beyond.items.empty() ? 0 : beyond.items[0].line) +
             ": instance " + std::to_string(beyond.instance) + ", beyond the run's " +
             count_of(instances, "instance");
    }
    return "";
  }

 private:
  // Placement files read in turn; instance k's rows, or none.
  bool next_placements(int64_t k, solution& out, std::string& why) {
    while (true) {
      if (pending_) {
        if (pending_->instance > k) break;
        out = std::move(*pending_);
        pending_.reset();
        if (out.instance == k) return true;
        continue;  // an instance the run has already passed: cannot happen in order
      }
      if (!reader_ || !reader_->next(next_)) {
        if (next_file_ >= o_.solutions.size()) break;
        reader_.reset();
        const std::string& name = o_.solutions[next_file_++];
        in_ = std::make_unique<std::ifstream>(name, std::ios::binary);
        if (!*in_) throw sheetgen::error("Cannot read file " + name + ": " + std::strerror(errno));
        reader_ = std::make_unique<solution_reader>(*in_, name);
        if (reader_->format() != solution_format::placements)
          throw sheetgen::error(name + ":1: a certificate among placement files; give placement "
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
    out.file = o_.solutions.size() == 1 ? o_.solutions[0] : "the placement files";
    out.instance = k;
    why.clear();
    return true;  // no rows: nothing placed
  }

  const solution_options& o_;
  std::unique_ptr<std::ifstream> in_;
  std::unique_ptr<solution_reader> reader_;
  std::size_t next_file_ = 0;
  solution next_;
  std::optional<solution> pending_;
  int64_t last_ = 0;
};

// Instance `in`'s solution judged: its contract and claims included.
// False, with `why`, when it has none to judge.
bool judge(const run_info& run, const instance& in, solution_options& o, solution_source& src,
           solution& s, solution_report& report, std::string& why) {
  if (!src.fetch(in.number, s, why)) return false;
  const solution_instance view{run.object, in.items, in.defects, in.values};
  solution_rules rules = o.rules;
  std::vector<std::string> differences;
  if (o.from_export) {
    try {
      export_contract c = read_export_contract(src.instance_folder(in.number), view);
      rules.type_copies = std::move(c.copies);
      rules.type_rotation = std::move(c.rotation);
      differences = std::move(c.differences);
    } catch (const sheetgen::error& e) {
      why = e.what();
      return false;
    }
  }
  report = check_solution(view, s, rules);
  for (std::string& d : differences) report.add({std::move(d)}, rules.max_violations);
  if (!o.claims.empty()) {
    const fs::path claims =
        o.from_export ? src.instance_folder(in.number) / o.claims : fs::path(o.claims);
    try {
      check_claims(read_claims(claims), s, report, rules.max_violations);
    } catch (const sheetgen::error& e) {
      why = e.what();
      return false;
    }
  }
  return true;
}

int check_work(const run_info& run, solution_options& o, session& s) {
  const std::unique_ptr<solution_summary> summary = make_solution_summary(s.out, o.format);
  run_solution_figures total;
  solution_source src(o);
  int64_t instances = 0;
  solution sol;
  solution_report report;
  std::string why;
  file_pass(run)([&](const instance& in) {
    ++instances;
    if (!judge(run, in, o, src, sol, report, why)) {
      ++total.missing;
      summary->missing(in.number, why);
      return;
    }
    total.add(report);
    summary->instance(in.number, sol.file, report);
  });
  const std::string beyond = src.leftover(instances);
  summary->run(total);
  if (!beyond.empty()) {
    s.out.flush();
    s.err << "sheetkit: solution check: " << beyond << '\n';
  }
  const bool all_good = total.feasible == total.instances && total.missing == 0 && beyond.empty();
  return all_good ? status_ok : status_problems;
}

int draw_work(const run_info& run, solution_options& o, session& s) {
  solution_source src(o);
  const fs::path into = o.folder->begin();
  std::vector<std::string> written;
  std::vector<std::string> missing;
  solution sol;
  solution_report report;
  std::string why;
  file_pass(run)([&](const instance& in) {
    bool chosen = false;
    for (const auto& range : o.ranges) chosen = chosen || (in.number >= range.first && in.number <= range.second);
    // Placement files are read in order: an instance left out is read past.
    if (!chosen) {
      if (o.placements) src.fetch(in.number, sol, why);
      return;
    }
    if (!judge(run, in, o, src, sol, report, why)) {
      missing.push_back("instance " + std::to_string(in.number) + ": no solution: " + why);
      return;
    }
    const std::string name = "instance_" + std::to_string(in.number) + ".svg";
    std::ofstream file(into / name, std::ios::binary);
    render_solution(file, run, in, sol, report, svg::form{});
    file.close();
    if (!file) throw sheetgen::error("Cannot write file " + (into / name).string() + "!");
    written.push_back((o.folder->path() / name).string());
  });
  if (written.empty()) {
    for (const std::string& m : missing) s.err << "sheetkit: solution draw: " << m << '\n';
    throw usage_error("no chosen instance has a solution to draw (--instances " + o.instances + ")");
  }
  o.folder->commit();
  for (const std::string& w : written) s.out << w << '\n';
  s.out.flush();
  for (const std::string& m : missing) s.err << "sheetkit: solution draw: " << m << '\n';
  return missing.empty() ? status_ok : status_problems;
}

std::vector<std::string> inputs(const solution_options& o, const run_info& run) {
  std::vector<std::string> files = {o.source.answers, run.instance_file, run.defect_file};
  files.insert(files.end(), o.solutions.begin(), o.solutions.end());
  if (!o.claims.empty()) files.push_back(o.claims);
  return files;
}

}  // namespace

std::function<prepared()> setup_solution_check(CLI::App& check) {
  auto o = std::make_shared<solution_options>();
  add_options(check, *o);
  check.add_option("--format", o->format, "text (default), json or csv")->type_name("FORMAT");
  check.add_flag("--json", o->json, "The same as --format json");
  return [o] {
    require_one_of("--format", o->format, {"text", "json", "csv"});
    if (o->json) o->format = "json";
    prepare(*o);
    run_info run = o->source.run();
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return check_work(run, *o, s); }};
  };
}

std::function<prepared()> setup_solution_draw(CLI::App& draw) {
  auto o = std::make_shared<solution_options>();
  add_options(draw, *o);
  draw.add_option("-o,--output", o->dir, "A new folder for the pictures")->type_name("DIR")->required();
  draw.add_flag("--force", o->force, "Replace the -o folder whole when it is not empty");
  draw.add_option("--instances", o->instances, "Instances to draw, such as 1-4,7 (default 1-4)")
      ->type_name("LIST");
  return [o] {
    o->ranges = parse_instance_list(o->instances);
    prepare(*o);
    run_info run = o->source.run();
    o->folder.emplace(o->dir, o->force, inputs(*o, run));
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return draw_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
