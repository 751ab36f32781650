// What solution check prints: per instance its violations and figures,
// then the run's, as text for people or JSON or CSV for scripts.
#ifndef SHEETKIT_SOLUTION_SUMMARY_H_
#define SHEETKIT_SOLUTION_SUMMARY_H_

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "solutions/solution_check.h"

namespace sheetkit {

/// The run's figures: its instances' added up.
struct run_solution_figures {
  int64_t instances = 0;   ///< instances checked
  int64_t feasible = 0;    ///< of them, feasible
  int64_t missing = 0;     ///< instances without a solution
  int64_t violations = 0;  ///< all instances' violations
  int64_t items_placed = 0, placed_area = 0, profit = 0, usable_area = 0, area_bound = 0;
  int64_t known_optimum = 0;   ///< the known optima summed, where instances have one
  int64_t optimum_profit = 0;  ///< the profit of those instances

  /// Adds one instance's verdict.
  void add(const solution_report& r);
  /// Placed area over usable area, of the whole run.
  double utilisation() const;
  /// (area bound - placed area) / area bound, of the whole run.
  double gap() const;
  /// (known optima - their instances' profit) / known optima, of the whole run.
  double optimum_gap() const;
};

/// Writes the verdicts as they come, one instance at a time.
class solution_summary {
 public:
  virtual ~solution_summary() = default;
  /// One instance's verdict on `file`.
  virtual void instance(int64_t number, const std::string& file, const solution_report& r) = 0;
  /// An instance without a solution, and why (such as the file's error).
  virtual void missing(int64_t number, const std::string& why) = 0;
  /// The run's figures, last.
  virtual void run(const run_solution_figures& f) = 0;
};

/// A summary in `format`: "text", "json" or "csv". With `known_optima`
/// (a run whose family knows every instance's optimum) each instance's
/// known optimum and the gap to it are given too, apart from the gap to
/// the bound: in text after it, in JSON as known_optimum and optimum_gap,
/// in CSV as two more columns of those names.
std::unique_ptr<solution_summary> make_solution_summary(std::ostream& out,
                                                        const std::string& format,
                                                        bool known_optima = false);

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_SUMMARY_H_
