// What a run's instances look like in numbers: item areas and shapes, how
// much of the object the items and the defects take, and so on. Computed
// here; stats_writer.h writes them for people and for scripts.
//
// Medians are exact and are the lower middle value: of an even number of
// values, the smaller of the two in the middle. So a median is always one of
// the values (an area stays an integer). They take a few MiB whatever the
// run's size (rank_selector.h): a run of up to 131072 item types is read
// once, a larger one twice, the second time its instance file alone.
#ifndef SHEETKIT_STATS_H_
#define SHEETKIT_STATS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "figures/bounds.h"
#include "files/instance.h"

namespace sheetkit {

// What the bounds take of the item types beyond their sizes: the same for
// every type of the run (value = area).
struct stats_bound_rules {
  int64_t copies = 1;     // of each item type; below 0: unlimited
  bool rotation = false;  // whether items may be turned
};

// An instance's own line.
struct instance_stats {
  int64_t number = 0;
  int64_t items = 0;
  int64_t area_min = 0;  // the three area values mean nothing when items == 0
  int64_t area_median = 0;
  int64_t area_max = 0;
  int64_t total_area = 0;  // of its item types
  int64_t defects = 0;
  int64_t covered_area = 0;  // of the object, by the union of its defects
  instance_bounds bounds;    // on its best value (bounds.h)
};

// Smallest, middle (median or mean, as the field says) and largest value of
// one measure; meaningless while `count` is 0.
template <typename T, typename Middle = T>
struct spread {
  int64_t count = 0;
  T min{};
  Middle middle{};
  T max{};
};

struct run_stats {
  rectangle object;
  int64_t object_area = 0;
  struct bounds {
    float minrelsize = 0;
    float maxrelsize = 0;
    int32_t minarea = 0;
    int32_t maxarea = 0;
  };
  std::optional<bounds> area_bounds;  // known from the answers only

  int64_t instances = 0;
  int64_t items = 0;  // item types over all instances

  // Over all item types of the run.
  spread<int64_t> item_area;         // middle: median
  spread<double> ratio;              // length / width; middle: median
  int64_t items_not_fitting = 0;     // longer than the object or wider
  int64_t items_outside_bounds = 0;  // area outside [minarea, maxarea], when known

  // Over the instances; middle: mean.
  spread<int64_t, double> items_per_instance;
  spread<int64_t, double> total_area;
  spread<int64_t, double> defects_per_instance;
  spread<int64_t, double> covered_area;  // union of the defects, within the object

  // The bounds over the instances; middle: mean.
  stats_bound_rules bound_rules;
  spread<int64_t, double> usable_area;
  spread<int64_t, double> best_bound;
  int64_t best_bound_total = 0;     // summed over the instances (saturating)
  int64_t knapsack_exact = 0;       // instances whose knapsack bound is exact
  int64_t knapsack_relaxation = 0;  // instances where it fell back to the relaxation

  int passes = 0;  // how often the run was read
};

// The figures known before anything is read: the object and the bounds.
run_stats stats_head(const run_info& run);

// Where stats reads a run: `first` once, with the defects, and `again` as
// often as the medians need (once for any run sheetgen writes, never for a
// small one), where only the item types count. Each call gives passes over
// parts of the run that visit every instance once between them, in any
// order, and run at the same time, each on a thread of its own; `first`
// gives a single pass in file order when asked `in_order`.
struct stats_source {
  std::function<std::vector<instance_pass>(bool in_order)> first;
  std::function<std::vector<instance_pass>()> again;
};

// Takes each instance's line as soon as the first pass has read it.
using stats_rows = std::function<void(const instance_stats&)>;

// Reads the run as often as exact medians need; with `rows`, each
// instance's line goes there during the first pass, which then reads in
// order. A first pass in parts that fails, or that finds another number of
// instances than the answers ask for, is made again in order, for the error
// where it comes first, or to stop at the answers' number. A defect's part outside the
// object does not count towards the covered area. Throws sheetgen::error
// "The files changed while they were being read!" when a later pass does
// not see what the first one saw.
// The bounds take `bound_rules`.
run_stats compute_stats(const run_info& run, const stats_source& source,
                        const stats_rows& rows = {}, const stats_bound_rules& bound_rules = {});

}  // namespace sheetkit

#endif  // SHEETKIT_STATS_H_
