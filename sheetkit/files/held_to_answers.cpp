#include "files/held_to_answers.h"

#include <utility>

#include "text/text.h"

namespace sheetkit {

void count_mismatches(const instance& in, const sheetgen::run_parameters& answers, bool defects,
                      const mismatch_found& found) {
  const std::string block = "block " + std::to_string(in.number) + " has ";
  if (in.items.size() != static_cast<std::size_t>(answers.no_items)) {
    found(false, in.item_line,
          block + count_of(static_cast<int64_t>(in.items.size()), "item type") +
              ", but the answers ask for " + std::to_string(answers.no_items));
  }
  if (defects && in.defects.size() != static_cast<std::size_t>(answers.no_defects)) {
    found(true, in.defect_line,
          block + count_of(static_cast<int64_t>(in.defects.size()), "defect") +
              ", but the answers ask for " + std::to_string(answers.no_defects));
  }
}

std::optional<std::string> defect_size_mismatch(const placed_defect& d, std::size_t k,
                                                const sheetgen::run_parameters& answers) {
  if (k >= answers.defects.size()) return std::nullopt;
  const int64_t length = int64_t{d.x2} - d.x1;
  const int64_t width = int64_t{d.y2} - d.y1;
  const rectangle& size = answers.defects[k];
  if (length == size.length && width == size.width) return std::nullopt;
  return "defect " + std::to_string(k + 1) + " measures " + std::to_string(length) + " x " +
         std::to_string(width) + ", but the answers give " + std::to_string(size.length) + " x " +
         std::to_string(size.width);
}

instance_pass held_to_answers(instance_pass pass, const run_info& run, bool defects) {
  if (!run.answers) return pass;
  return [pass = std::move(pass), answers = *run.answers, instance_file = run.instance_file,
          defect_file = run.defect_file, defects](const auto& visit) {
    const auto stop = [&](bool in_defects, int64_t line, const std::string& what) {
      throw sheetgen::error((in_defects ? defect_file : instance_file) + ":" +
                            std::to_string(line) + ": " + what);
    };
    int64_t read = 0;
    int64_t end_line = 1;  // where the instance file's next block starts
    pass([&](const instance& in) {
      if (in.number > answers.no_instances) {
        stop(false, in.item_line,
             "block " + std::to_string(in.number) + " is beyond the run: the answers ask for " +
                 count_of(answers.no_instances, "instance"));
      }
      count_mismatches(in, answers, defects, stop);
      for (std::size_t k = 0; defects && k < in.defects.size(); ++k) {
        const std::optional<std::string> what = defect_size_mismatch(in.defects[k], k, answers);
        if (what) stop(true, in.defect_line + static_cast<int64_t>(k), *what);
      }
      read = in.number;
      end_line = in.item_line + static_cast<int64_t>(in.items.size()) + 1;
      visit(in);
    });
    if (read < answers.no_instances) {
      stop(false, end_line,
           "file ends after " + count_of(read, "block") + ", but the answers ask for " +
               count_of(answers.no_instances, "instance") + ": cut short?");
    }
  };
}

instance_pass part_held_to_answers(instance_pass part, const run_info& run) {
  if (!run.answers) return part;
  return [part = std::move(part), items = run.answers->no_items](const auto& visit) {
    part([&](const instance& in) {
      if (in.items.size() != static_cast<std::size_t>(items)) {
        throw sheetgen::error("a block's item types are not what the answers ask for");
      }
      visit(in);
    });
  };
}

}  // namespace sheetkit
