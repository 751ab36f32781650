#include "solutions/solution_check.h"

namespace sheetkit {

double solution_figures::utilisation() const {
  return usable_area > 0 ? static_cast<double>(placed_area) / static_cast<double>(usable_area) : 0.0;
}

double solution_figures::gap() const {
  return area_bound > 0
             ? static_cast<double>(area_bound - placed_area) / static_cast<double>(area_bound)
             : 0.0;
}

std::vector<std::string> solution_report::lines() const {
  std::vector<std::string> out;
  for (const violation& v : violations) out.push_back(v.text);
  const int64_t more = violation_count - static_cast<int64_t>(violations.size());
  if (more > 0)
    out.push_back("... and " + std::to_string(more) + (more == 1 ? " more violation" : " more violations"));
  return out;
}

void solution_report::add(violation v, std::size_t keep) {
  ++violation_count;
  if (violations.size() < keep) violations.push_back(std::move(v));
}

solution_report check_solution(const solution_instance&, const solution&, const solution_rules&) {
  return {};
}

solution_report check_placements(const solution_instance& instance,
                                 std::span<const placement> placements,
                                 const solution_rules& rules, const std::string& file) {
  solution s;
  s.file = file;
  s.items.assign(placements.begin(), placements.end());
  return check_solution(instance, s, rules);
}

}  // namespace sheetkit
