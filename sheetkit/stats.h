// What a run's instances look like in numbers: item areas and shapes, how
// much of the object the items and the defects take, and so on, for people
// (an aligned table) and for scripts (JSON).
//
// Medians are exact and are the lower middle value: of an even number of
// values, the smaller of the two in the middle. So a median is always one of
// the values (an area stays an integer). They take at most about 6 MiB
// whatever the run's size: runs of up to 262144 item types in all are read
// once; larger ones are read again, usually once more, at most three more
// times.
#ifndef SHEETKIT_STATS_H_
#define SHEETKIT_STATS_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <vector>

#include "instance.h"

namespace sheetkit {

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

  int passes = 0;                            // how often the run was read
  std::vector<instance_stats> per_instance;  // filled on request
};

// Reads the run as often as exact medians need. A defect's part outside the
// object does not count towards the covered area.
run_stats compute_stats(const run_info& run, const instance_pass& pass, bool per_instance);

// The table for people, and each instance's line after it when there are
// per-instance figures.
void write_text(std::ostream& out, const run_stats& stats);

// The same for scripts. Values are integers where they are counts or areas,
// relative values are fractions (0.15, not 15%); a value that does not exist
// (the median area of no items) is null.
nlohmann::json to_json(const run_stats& stats);

}  // namespace sheetkit

#endif  // SHEETKIT_STATS_H_
