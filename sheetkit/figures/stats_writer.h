// How stats' figures are written: each instance's line as soon as it is
// known, then the run's figures, which need every instance. One writer per
// format, all fed the same way, so that a format is one more writer.
#ifndef SHEETKIT_STATS_WRITER_H_
#define SHEETKIT_STATS_WRITER_H_

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "figures/stats.h"
#include "files/instance.h"

namespace sheetkit {

class stats_writer {
 public:
  virtual ~stats_writer() = default;
  // An instance's line, in file order; none when they are not asked for.
  virtual void row(const instance_stats& r) = 0;
  // The run's figures, last.
  virtual void summary(const run_stats& s) = 0;
};

// The table for people: the instances' lines under a heading, then an
// empty line and the run's table (alone when there are no lines).
std::unique_ptr<stats_writer> text_stats_writer(std::ostream& out, const run_info& run);

// One JSON document for scripts, written as it goes: "format_version", the
// object and the bounds ("lower" and "upper" as text, "min_area",
// "max_area"), "per_instance" (one line each) when there are instance
// lines, then the run's figures, named as json_format.h says. Values are integers where they are
// counts or areas, relative values are fractions (0.15, not 15%); a value that does not exist (the
// median area of no items) is null. Nothing is written before the first line or the summary.
std::unique_ptr<stats_writer> json_stats_writer(std::ostream& out, const run_info& run);

// The run's figures as the JSON document holds them, without instance lines.
nlohmann::ordered_json to_json(const run_stats& s);

// An instance's line as "per_instance" holds it; relative values are of
// `object_area`.
nlohmann::ordered_json to_json(const instance_stats& r, int64_t object_area);

// An instance's bounds as its line's "upper_bounds" holds them (and
// Python's bounds() gives them): the figures of instance_bounds by name,
// "knapsack_method" and "best_is" as text, "knapsack_note" null unless it
// fell back.
nlohmann::ordered_json to_json(const instance_bounds& b);

}  // namespace sheetkit

#endif  // SHEETKIT_STATS_WRITER_H_
