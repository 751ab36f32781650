#include "inspect/verify.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>

#include "cli/builtins.h"
#include "cli/usage_error.h"
#include "families/recipe.h"
#include "families/recipe_verify.h"
#include "files/files.h"
#include "files/source.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

int verify_work(const run_info& run, session& s) {
  // Without its instance file there is nothing to compare: an error, as
  // the other commands have it, rather than a verdict. Not opened here: a
  // named pipe would have to be read now.
  std::error_code ec;
  if (!fs::exists(run.instance_file, ec)) {
    throw file_error(run.instance_file, "cannot be read",
                     ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
  }
  // Held back like check's.
  std::ostringstream report;
  const bool same = verify_run(*run.answers, report, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return same ? status_ok : status_problems;
}

int verify_recipe_work(const run_info& run, session& s) {
  std::ostringstream report;
  const bool same = verify_recipe(run, report, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return same ? status_ok : status_problems;
}

}  // namespace

std::function<prepared()> setup_verify(CLI::App& app) {
  struct sources {
    std::string answers, recipe;
  };
  auto given = std::make_shared<sources>();
  CLI::Option* answers =
      app.add_option("--answers", given->answers, "The run's answers, as piped into sheetgen")
          ->type_name("FILE");
  app.add_option("--recipe", given->recipe, "A family run's recipe, as sheetkit generate writes it")
      ->type_name("FILE")
      ->excludes(answers);
  return [given] {
    if (!given->recipe.empty()) return prepared{run_from_recipe(given->recipe), verify_recipe_work};
    if (given->answers.empty()) throw usage_error("give --answers FILE or --recipe FILE");
    return prepared{run_from_answers(given->answers), verify_work};
  };
}

}  // namespace sheetkit
