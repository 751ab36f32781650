#include <sheetgen/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/builtins.h"
#include "cli/cli_errors.h"
#include "cli/solution_options.h"
#include "families/recipe.h"
#include "files/instance_reader.h"
#include "files/source.h"
#include "solutions/solution_summary.h"

namespace sheetkit {

namespace {

int check_work(const run_info& run, solution_options& o, session& s) {
  // A family that knows its instances' optima (from the run's recipe).
  std::optional<sheetgen::family_run> family;
  if (run.family) family.emplace(*run.family);
  const bool known = family && family->knows_optimum();
  const std::unique_ptr<solution_summary> summary = make_solution_summary(s.out, o.format, known);
  run_solution_figures total;
  solution_source& src = *o.source_files;
  int64_t instances = 0;
  file_pass(run)([&](const instance& in) {
    ++instances;
    judgement j = judge(run, in, o, src);
    if (known) j.report.figures.known_optimum = known_optimum(*family, in);
    if (!j.judged) {
      ++total.missing;
      summary->missing(in.number, j.why);
      return;
    }
    total.add(j.report);
    summary->instance(in.number, j.read.file, j.report);
  });
  const std::string beyond = src.leftover(instances);
  summary->run(total);
  if (!beyond.empty()) {
    s.out.flush();
    s.say(beyond);
  }
  const bool all_good = total.feasible == total.instances && total.missing == 0 && beyond.empty();
  return all_good ? status_ok : status_problems;
}

}  // namespace

std::function<prepared()> setup_solution_check(CLI::App& check) {
  auto o = std::make_shared<solution_options>();
  add_solution_options(check, *o);
  o->format_given = with_choices(
      check.add_option("--format", o->format, "text (default), json or csv")->type_name("FORMAT"),
      {"text", "json", "csv"});
  check.add_flag("--json", o->json, "The same as --format json");
  return [o] {
    check_choice(*o->format_given, o->format);
    if (o->json) o->format = "json";
    prepare(*o);
    run_info run = o->source.run();
    return prepared{std::move(run),
                    [o](const run_info& run, session& s) { return check_work(run, *o, s); }};
  };
}

}  // namespace sheetkit
