#include "families/generate.h"

#include <sheetgen/families.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/builtins.h"
#include "cli/usage_error.h"
#include "files/output_folder.h"
#include "text/text.h"

namespace sheetkit {

const char* const generate_footer =
    "Families and their parameters (NAME=VALUE; docs/families.md has each law):\n"
    "  binpacking class=1..10 items=N [first=J]   the published classes I to X\n"
    "  knapsack type=1..3 items=N [length= width= copies=]\n"
    "  gcut items=N [length= width= copies=N|unlimited]\n"
    "  perfect items=N [length= width= stages= orientation=vertical|horizontal|any least=\n"
    "          defect_sizes=LxW,... pinwheels=]   optimum known; its defects its own\n"
    "Defect laws (--defects LAW NAME=VALUE ...):\n"
    "  sizes sizes=LxW,...   separate count=K [low= high= tries=]   points [low= high= side=]\n"
    "The folder gets instances.txt, defects.txt (with defects), values.txt and recipe.txt;\n"
    "check, verify and the other commands take --recipe DIR/recipe.txt. With --certificates\n"
    "(perfect only) also placements.csv and certificate_K.csv, the construction itself.";

namespace {

struct generate_options {
  std::vector<std::string> family;   // FAMILY NAME=VALUE ...
  std::vector<std::string> defects;  // LAW NAME=VALUE ...
  int32_t instances = 1;
  int32_t seed = 1;
  int32_t layer = -1;
  std::string where;
  bool force = false;
  bool certificates = false;
  bool defect_file = false;
  std::optional<output_folder> folder;
  recipe chosen;
};

constexpr const char* recipe_name = "recipe.txt";

std::vector<sheetgen::parameter> named_values(const std::vector<std::string>& words) {
  std::vector<sheetgen::parameter> out;
  for (std::size_t k = 1; k < words.size(); ++k) {
    const std::size_t eq = words[k].find('=');
    if (eq == std::string::npos || eq == 0)
      throw usage_error("expected NAME=VALUE after " + words[0] + ", not \"" + words[k] + "\"");
    out.emplace_back(words[k].substr(0, eq), words[k].substr(eq + 1));
  }
  return out;
}

int generate_work(generate_options& o, session& s) {
  const std::filesystem::path into = o.folder->begin();
  generated done = generate_run(o.chosen, recipe_name, into, s.shown.callback());
  if (o.certificates) {
    const std::vector<std::string> more = write_certificates(o.chosen, into);
    done.files.insert(done.files.end() - 1, more.begin(), more.end());
  }
  o.folder->commit();
  s.shown.clear();
  for (const std::string& file : done.files) s.out << (o.folder->path() / file).string() << '\n';
  s.out << count_of(done.instances, "instance") << ", " << count_of(done.item_types, "item type");
  if (o.defect_file) s.out << ", " << count_of(done.defects, "defect");
  s.out << '\n';
  return status_ok;
}

}  // namespace

std::function<prepared()> setup_generate(CLI::App& app) {
  auto o = std::make_shared<generate_options>();
  app.add_option("family", o->family, "The family and its parameters: FAMILY NAME=VALUE ...")
      ->type_name("FAMILY [NAME=VALUE ...]")
      ->required();
  app.add_option("--defects", o->defects, "A defect law and its parameters: LAW NAME=VALUE ...")
      ->type_name("LAW [NAME=VALUE ...]")
      ->expected(1, 1000);
  app.add_option("--instances", o->instances, "How many instances (default 1)")->type_name("N");
  app.add_option("--seed", o->seed, "Seeds every stream of the run (default 1)")->type_name("N");
  app.add_option("--layer", o->layer,
                 "Keep the first K defects of each instance's draw: nested layers")
      ->type_name("K");
  app.add_option("-o,--output", o->where, "A new folder for the run's files and its recipe")
      ->type_name("DIR")
      ->required();
  app.add_flag("--force", o->force, "Replace the -o folder whole when it is not empty");
  app.add_flag("--certificates", o->certificates,
               "perfect: also write the construction as placements.csv and certificate_K.csv");
  return [o] {
    sheetgen::family_settings settings;
    settings.family = o->family[0];
    settings.parameters = named_values(o->family);
    if (!o->defects.empty()) {
      settings.defects = o->defects[0];
      settings.defect_parameters = named_values(o->defects);
    }
    settings.instances = o->instances;
    settings.seed = o->seed;
    settings.layer = o->layer;
    try {
      const sheetgen::family_run run(settings);
      o->chosen.settings = run.settings();
      o->defect_file = run.has_defects();
      if (o->certificates && settings.family != "perfect") {
        throw usage_error("--certificates: the family " + settings.family +
                          " builds no solution of its own; only perfect does");
      }
    } catch (const sheetgen::family_error& e) {
      throw usage_error(e.what());
    }
    o->folder.emplace(o->where, o->force, std::vector<std::string>{},
                      std::vector<std::string>{"instances.txt", "defects.txt", "values.txt",
                                               recipe_name, "placements.csv", "certificate_#.csv"});
    return prepared{run_info{}, [o](const run_info&, session& s) { return generate_work(*o, s); }};
  };
}

}  // namespace sheetkit
