// Where a command's run comes from: --answers FILE, or --object
// LENGTHxWIDTH INSTANCE_FILE [DEFECT_FILE], as every command that reads a
// run takes them.
#ifndef SHEETKIT_RUN_OPTIONS_H_
#define SHEETKIT_RUN_OPTIONS_H_

#include <sheetgen/types.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/usage_error.h"
#include "families/recipe.h"
#include "files/source.h"
#include "text/text.h"

namespace sheetkit {

/// The options that say where a command's run comes from.
struct run_options {
  std::string answers;              ///< --answers FILE; empty when not given
  std::vector<std::string> object;  ///< --object's values; empty when not given
  std::string recipe;               ///< --recipe FILE; empty when not given

  /// Adds --answers and --object to `command`.
  void add_to(CLI::App& command) {
    CLI::Option* a =
        command.add_option("--answers", answers, "The run's answers, as piped into sheetgen");
    a->type_name("FILE");
    command.add_option("--object", object, "Without answers: the object's size and the files")
        ->expected(2, 3)
        ->type_name("LENGTHxWIDTH INSTANCE_FILE [DEFECT_FILE]")
        ->excludes(a);
    command
        .add_option("--recipe", recipe,
                    "A family run's recipe, as sheetkit generate writes it (its files beside it)")
        ->type_name("FILE")
        ->excludes(a)
        ->excludes("--object");
  }

  /// The run they give; throws usage_error when neither is given.
  run_info run() const {
    if (!answers.empty()) return run_from_answers(answers);
    if (!recipe.empty()) return run_from_recipe(recipe);
    if (object.empty()) {
      throw usage_error(
          "give --answers FILE, --recipe FILE, or --object LENGTHxWIDTH INSTANCE_FILE "
          "[DEFECT_FILE]");
    }
    rectangle size;
    try {
      size = parse_object(object[0]);
    } catch (const sheetgen::error& e) {
      throw usage_error(std::string("--object: ") + e.what());
    }
    return run_from_object(size, object[1], object.size() > 2 ? object[2] : "");
  }
};

/// "1-4,7" (--instances) as ranges, in the order given; "5-" runs to the
/// run's last instance, and so does "all" (from the first); throws
/// usage_error for anything else.
inline std::vector<std::pair<int64_t, int64_t>> parse_instance_list(std::string_view text) {
  constexpr int64_t open_end = std::numeric_limits<int64_t>::max();
  if (text == "all") return {{1, open_end}};
  const auto bad = [&] {
    return usage_error(
        "--instances: expected numbers and ranges such as 1-4,7 or 5-, or all, not \"" +
        std::string(text) + "\"");
  };
  const auto number = [&](std::string_view digits) {
    const std::optional<int64_t> value = parse_positive(digits);
    if (!value) throw bad();
    return *value;
  };
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    const int64_t first = number(item.substr(0, dash));
    const int64_t last = dash == std::string_view::npos ? first
                         : dash + 1 == item.size()      ? open_end
                                                        : number(item.substr(dash + 1));
    if (last < first) throw bad();
    ranges.emplace_back(first, last);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return ranges;
}

}  // namespace sheetkit

#endif  // SHEETKIT_RUN_OPTIONS_H_
