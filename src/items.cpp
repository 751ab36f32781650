// Item generation, written for speed: a run may ask for 400 million items.
//
// What keeps the bytes identical to generating one item after the other:
// - Every item takes exactly two draws unless its rounded area needs the
//   repair. A batch of items is therefore computed from draws looked up in
//   advance (peek_states); at the first item that needs a repair, the
//   generator is set to the state after that item's two draws, the repair
//   takes its draws one by one, and the next batch starts from there. Items
//   after it in the batch are thrown away and computed again.
// - Every floating-point step is the formula's own, in the same order; a
//   step is replaced by a cheaper one only where that provably gives the
//   same double (state_value, the ratio clamps, rounding in doubles below)
//   or the same decision (the test of a batch's areas in 32-bit integers).
//   Loops over a batch do the same operations lane by lane when the
//   compiler vectorises them, which changes no result: each lane rounds
//   once per operation, as a scalar would.
#include "items.h"

#include <algorithm>
#include <cmath>

#include "exact_float.h"

namespace sheetgen {

namespace {

const char* const repair_failed =
    " Determination of integer length or width of the small items failed. Please check the "
    "chosen bounds for the relative size as well as the size of the large object!";

double ratio(int64_t numerator, double denominator) {
  return static_cast<double>(numerator) / denominator;
}

// What stays the same for every item of the run.
struct item_constants {
  explicit item_constants(const run_parameters& p)
      : object_length(p.object.length),
        object_width(p.object.width),
        object_width_squared(object_width * object_width),
        object_length_squared(object_length * object_length),
        minarea(p.minarea),
        maxarea(p.maxarea),
        area_span(static_cast<double>(maxarea - minarea)) {
    // Every target area is at most max(minarea, maxarea): a draw is below 1
    // and each step rounds monotonically. When the object is ten times that
    // area, the ratio bounds below are under 0.1 and over 0.9 with a wide
    // margin over any rounding, so the clamps give minratio and maxratio
    // exactly and the three divisions can be skipped.
    const double largest = static_cast<double>(std::max(minarea, maxarea));
    ratios_clamped = object_width_squared >= 10 * largest && object_length_squared >= 10 * largest;
  }

  double object_length, object_width;
  double object_width_squared, object_length_squared;
  int64_t minarea, maxarea;
  double area_span;  // maxarea - minarea
  bool ratios_clamped;
};

// round_half_away for 0 <= x < 2^52, in doubles so that a loop of them
// vectorises: adding and taking away 2^52 rounds to an integer (ties to
// even), which gives the floor; the fraction above it is exact. Each
// choice is between constants, so no operation depends on a branch.
inline double round_half_away_double(double x) {
  const double nearest = (x + 0x1p52) - 0x1p52;
  const double floor = nearest + (nearest > x ? -1.0 : 0.0);  // this form vectorises
  return floor + (x - floor >= 0.5 ? 1.0 : 0.0);
}

// Batches shrink after a repair, so that bounds which need many repairs do
// not throw much work away, and grow again while no item needs one.
constexpr int32_t max_batch = max_peek / 2;

// Items of one batch, rounded but not yet checked. Each loop does one step
// of the formula for every item, with no branch inside, so that compilers
// vectorise it; the dimensions are exact integers held in doubles, at
// least 0 and far below 2^52.
struct batch {
  int32_t states[2 * max_batch];  // the states after each item's two draws
  double area_draw[max_batch], ratio_draw[max_batch];
  double length[max_batch], width[max_batch];

  void shape(const item_constants& c, const random_generator& rng, int32_t n) {
    rng.peek_states(states, 2 * n);
    for (int32_t k = 0; k < n; ++k) {
      area_draw[k] = state_value(states[2 * k]);
      ratio_draw[k] = state_value(states[2 * k + 1]);
    }
    const auto minarea = static_cast<double>(c.minarea);
    if (c.ratios_clamped) {
      for (int32_t k = 0; k < n; ++k) {
        finish(k, area_draw[k] * c.area_span + minarea, minratio, maxratio);
      }
    } else {
      for (int32_t k = 0; k < n; ++k) {
        const double area = area_draw[k] * c.area_span + minarea;
        // The ratios at which the item is exactly as wide, and exactly as
        // long, as the object, cut to [minratio, maxratio]. An item as wide
        // as the object is area / width long: `squared` is that squared.
        const double squared = area * area / c.object_width_squared;
        finish(k, area, std::max(minratio, squared / (squared + area)),
               std::min(maxratio, c.object_length_squared / (c.object_length_squared + area)));
      }
    }
  }

  void finish(int32_t k, double area, double lowest_ratio, double highest_ratio) {
    const double ratio = ratio_draw[k] * (highest_ratio - lowest_ratio) + lowest_ratio;
    const double exact_length = std::sqrt(ratio * area / (1 - ratio));
    length[k] = round_half_away_double(exact_length);
    width[k] = round_half_away_double(area / exact_length);
  }
};

// Moves one dimension by one unit per pass until the area is admissible.
// One draw per pass, whether or not the pass changes anything. 64 bits:
// on odd objects a dimension can pass 2^31 before the repair.
void repair(const item_constants& c, random_generator& rng, int64_t& length, int64_t& width) {
  int64_t area = length * width;
  while (area < c.minarea || area > c.maxarea) {
    const double draw = rng.uniform_random();
    const auto dlength = static_cast<double>(length);  // both exact
    const auto dwidth = static_cast<double>(width);
    if (area < c.minarea) {
      if (draw < 0.5 && length < c.object_length && (length + 1) * width <= c.maxarea &&
          ratio(length + 1, (dlength + 1) + dwidth) <= maxratio) {
        ++length;
      } else if (width < c.object_width && length * (width + 1) <= c.maxarea &&
                 ratio(length, (dlength + dwidth) + 1) >= minratio) {
        ++width;
      } else {
        throw error(repair_failed);
      }
    } else {
      if (draw < 0.5 && length > 0 && (length - 1) * width >= c.minarea &&
          ratio(length - 1, (dlength - 1) + dwidth) >= minratio) {
        --length;
      } else if (width > 0 && length * (width - 1) >= c.minarea &&
                 ratio(length, (dlength + dwidth) - 1) <= maxratio) {
        --width;
      } else {
        throw error(repair_failed);
      }
    }
    area = length * width;
  }
}

// minarea >= 1 for an admissible item, so both dimensions lie in
// [1, maxarea] and fit 32 bits.
inline rectangle item(int64_t length, int64_t width) {
  const auto l = static_cast<int32_t>(length);
  const auto w = static_cast<int32_t>(width);
  return {l * w, l, w};
}

}  // namespace

void generate_items(const run_parameters& p, random_generator& rng, rectangle* items) {
  const item_constants c(p);
  const int32_t count = std::max(p.no_items, 0);
  // Products of dimensions below 2^52 are exact up to 2^53 and beyond
  // maxarea after it, so comparing them in doubles decides exactly.
  const auto lowest_area = static_cast<double>(c.minarea);
  const auto highest_area = static_cast<double>(c.maxarea);
  // maxarea < 2^31 - 1: the single-precision bound lies below 2^31.
  const auto lowest = static_cast<uint32_t>(c.minarea);
  const uint32_t span = static_cast<uint32_t>(c.maxarea) - lowest;
  const uint32_t bounds_crossed = c.minarea > c.maxarea;

  batch current;
  int32_t batch_limit = max_batch;
  int32_t done = 0;
  while (done < count) {
    const int32_t n = std::min(batch_limit, count - done);
    current.shape(c, rng, n);
    // Most batches need no repair: the test is then one loop that
    // vectorises, the copy another. The area is an exact integer; capped
    // at 2^31 - 1, above every maxarea, it converts and compares as one.
    uint32_t outside = bounds_crossed;
    for (int32_t k = 0; k < n; ++k) {
      const double area = std::min(current.length[k] * current.width[k], 2147483647.0);
      outside |= static_cast<uint32_t>(static_cast<int32_t>(area)) - lowest > span;
    }
    int32_t k = 0;
    if (outside == 0) {
      for (; k < n; ++k) {
        items[done + k] = {static_cast<int32_t>(current.length[k] * current.width[k]),
                           static_cast<int32_t>(current.length[k]),
                           static_cast<int32_t>(current.width[k])};
      }
    } else {
      for (; k < n; ++k) {
        const double area = current.length[k] * current.width[k];
        if (!(area >= lowest_area && area <= highest_area)) break;
        items[done + k] =
            item(static_cast<int64_t>(current.length[k]), static_cast<int64_t>(current.width[k]));
      }
    }
    if (k == n) {
      rng.set_state(current.states[2 * n - 1]);
      done += n;
      batch_limit = std::min(max_batch, 2 * batch_limit);
      continue;
    }
    // Item done + k needs the repair: its own two draws were the peeked
    // ones, the repair's come one by one after them.
    auto length = static_cast<int64_t>(current.length[k]);
    auto width = static_cast<int64_t>(current.width[k]);
    rng.set_state(current.states[2 * k + 1]);
    repair(c, rng, length, width);
    items[done + k] = item(length, width);
    done += k + 1;
    batch_limit = std::max(1, batch_limit / 2);
  }
}

}  // namespace sheetgen
