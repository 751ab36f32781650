#include "cli/options.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <thread>

#include "cli/cli_errors.h"
#include "cli/usage_error.h"
#include "text/text.h"

namespace sheetkit {

void add_output_options(CLI::App& app, std::string& where, bool& force, const char* type,
                        const char* what) {
  app.add_option("-o,--output", where, what)->type_name(type)->required();
  app.add_flag("--force", force, "Replace the -o folder whole when it is not empty");
}

std::vector<std::string> files_read(const run_options& source, const run_info& run) {
  return {source.answers, source.recipe, run.instance_file, run.defect_file, run.value_file};
}

void copies_option::add_to(CLI::App& app, const std::string& what) {
  option = app.add_option("--copies", text, what)->type_name("N|unlimited");
}

int64_t copies_option::count() const {
  if (text == "unlimited") return unlimited_copies;
  if (const std::optional<int64_t> n = parse_positive(text)) return *n;
  throw usage_error("--copies takes a positive number or unlimited, not \"" + text + "\"");
}

namespace {

// A whole number from `low` to `high`, said as "takes a whole number from
// 1 to 256, not "0"" (cli_errors puts the option's name before it).
CLI::Validator whole_number(int64_t low, int64_t high) {
  return CLI::Validator(
      [low, high](std::string& value) -> std::string {
        const std::optional<int64_t> n =
            value == "0" ? std::optional<int64_t>(0) : parse_positive(value);
        if (n && *n >= low && *n <= high) return {};
        const std::string range =
            high == std::numeric_limits<int64_t>::max()
                ? "of " + std::to_string(low) + " or more"
                : "from " + std::to_string(low) + " to " + std::to_string(high);
        return "takes a whole number " + range + ", not \"" + value + "\"";
      },
      "");
}

}  // namespace

int default_jobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

void add_jobs_option(CLI::App& app, int& jobs, const std::string& what) {
  app.add_option("-j,--jobs", jobs, what)->type_name("N")->check(whole_number(1, 256));
}

void add_shard_option(CLI::App& app, std::string& shard) {
  app.add_option("--shard", shard, "Only the K-th of N pieces of the suite (see suite --help)")
      ->type_name("K/N");
}

namespace {

const std::vector<std::string> cut_types = {"non-exact", "exact"};
const std::vector<std::string> orientations = {"vertical", "horizontal", "any"};

}  // namespace

void guillotine_options::add_to(CLI::App& app, const std::string& lead) {
  const std::string l = lead + ": ";
  options = {app.add_option("--number-of-stages", stages, l + "levels of cuts (default 3)")
                 ->type_name("N")
                 ->check(whole_number(1, 1000)),
             with_choices(app.add_option("--cut-type", cut_type,
                                         l + "non-exact (default; the last stage's pieces may be "
                                             "trimmed) or\nexact")
                              ->type_name("TYPE"),
                          cut_types),
             with_choices(app.add_option("--first-stage-orientation", first_stage,
                                         l + "vertical, horizontal or any (default)")
                              ->type_name("O"),
                          orientations),
             app.add_option("--cut-thickness", cut_thickness, l + "the blade's width (default 0)")
                 ->type_name("N")
                 ->check(whole_number(0, std::numeric_limits<int64_t>::max())),
             app.add_option("--minimum-waste-length", minimum_waste,
                            l + "a waste piece's least width across its cut (default 1)")
                 ->type_name("L")
                 ->check(whole_number(0, std::numeric_limits<int64_t>::max())),
             app.add_flag("--cut-through-defects", through_defects, l + "cuts may cross defects")};
}

bool guillotine_options::given() const {
  return std::any_of(options.begin(), options.end(),
                     [](const CLI::Option* o) { return o->count() > 0; });
}

guillotine_rules guillotine_options::rules() const {
  check_choice(*options[1], cut_type);
  check_choice(*options[2], first_stage);
  guillotine_rules r;
  r.number_of_stages = stages;
  r.non_exact = cut_type == "non-exact";
  r.first_stage_orientation = first_stage == "vertical"     ? stage_orientation::vertical
                              : first_stage == "horizontal" ? stage_orientation::horizontal
                                                            : stage_orientation::any;
  r.cut_thickness = cut_thickness;
  r.minimum_waste_length = minimum_waste;
  r.cut_through_defects = through_defects;
  return r;
}

packingsolver_parameters guillotine_options::parameters() const {
  rules();  // the same choices
  return {stages, cut_type, first_stage, cut_thickness, minimum_waste, through_defects};
}

const std::vector<std::string>& export_formats() {
  static const std::vector<std::string> formats = {"packingsolver", "json", "jsonl", "roadef2018",
                                                   "2dpacklib"};
  return formats;
}

}  // namespace sheetkit
