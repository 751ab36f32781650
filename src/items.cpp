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
//   same double (state_value, the ratio clamps, rounding in doubles below).
//   Loops over a batch do the same operations lane by lane when the
//   compiler vectorises them.
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
      : L(p.object.length),
        W(p.object.width),
        ww(W * W),
        s(L * L),
        minarea(p.minarea),
        maxarea(p.maxarea),
        span(static_cast<double>(maxarea - minarea)) {
    // Every target area A is at most max(minarea, maxarea): u1 < 1 and each
    // step rounds monotonically. When the object is ten times that area,
    // t / (t + A) < 0.1 and s / (s + A) > 0.9 hold with a wide margin over
    // any rounding, so the clamps give minratio and maxratio exactly and
    // the three divisions can be skipped.
    const double amax = static_cast<double>(std::max(minarea, maxarea));
    clamped = ww >= 10 * amax && s >= 10 * amax;
  }

  double L, W, ww, s;
  int64_t minarea, maxarea;
  double span;
  bool clamped;
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

// Items of one batch, rounded but not yet checked. The dimensions are
// exact integers held in doubles: at least 0 and far below 2^52.
struct batch {
  double u1[max_batch], u2[max_batch];
  double A[max_batch], length[max_batch], width[max_batch];

  void shape(const item_constants& c, const int32_t* states, int32_t n) {
    for (int32_t k = 0; k < n; ++k) {
      u1[k] = state_value(states[2 * k]);
      u2[k] = state_value(states[2 * k + 1]);
    }
    const auto minarea = static_cast<double>(c.minarea);
    if (c.clamped) {
      for (int32_t k = 0; k < n; ++k) finish(k, u1[k] * c.span + minarea, minratio, maxratio);
    } else {
      for (int32_t k = 0; k < n; ++k) {
        const double a = u1[k] * c.span + minarea;
        // The ratios at which the item is exactly as wide, and exactly as
        // long, as the object, cut to [minratio, maxratio].
        const double t = a * a / c.ww;
        finish(k, a, std::max(minratio, t / (t + a)), std::min(maxratio, c.s / (c.s + a)));
      }
    }
  }

  void finish(int32_t k, double a, double qlo, double qhi) {
    const double q = u2[k] * (qhi - qlo) + qlo;
    const double l = std::sqrt(q * a / (1 - q));
    A[k] = a;
    length[k] = round_half_away_double(l);
    width[k] = round_half_away_double(a / l);
  }
};

// Moves one dimension by one unit per pass until the area is admissible.
// One draw per pass, whether or not the pass changes anything. 64 bits:
// on odd objects a dimension can pass 2^31 before the repair.
void repair(const item_constants& c, random_generator& rng, int64_t& length, int64_t& width) {
  int64_t area = length * width;
  while (area < c.minarea || area > c.maxarea) {
    const double u = rng.uniform_random();
    const double dl = static_cast<double>(length);
    const double dw = static_cast<double>(width);
    if (area < c.minarea) {
      if (u < 0.5 && length < c.L && (length + 1) * width <= c.maxarea &&
          ratio(length + 1, (dl + 1) + dw) <= maxratio) {
        ++length;
      } else if (width < c.W && length * (width + 1) <= c.maxarea &&
                 ratio(length, (dl + dw) + 1) >= minratio) {
        ++width;
      } else {
        throw error(repair_failed);
      }
    } else {
      if (u < 0.5 && length > 0 && (length - 1) * width >= c.minarea &&
          ratio(length - 1, (dl - 1) + dw) >= minratio) {
        --length;
      } else if (width > 0 && length * (width - 1) >= c.minarea &&
                 ratio(length, (dl + dw) - 1) <= maxratio) {
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
  const auto lo = static_cast<double>(c.minarea);
  const auto hi = static_cast<double>(c.maxarea);

  batch current;
  int32_t states[2 * max_batch];
  int32_t size = max_batch;
  int32_t i = 0;
  while (i < count) {
    const int32_t n = std::min(size, count - i);
    rng.peek_states(states, 2 * n);
    current.shape(c, states, n);
    int32_t k = 0;
    for (; k < n; ++k) {
      const double area = current.length[k] * current.width[k];
      if (!(area >= lo && area <= hi)) break;
      items[i + k] =
          item(static_cast<int64_t>(current.length[k]), static_cast<int64_t>(current.width[k]));
    }
    if (k == n) {
      rng.set_state(states[2 * n - 1]);
      i += n;
      size = std::min(max_batch, 2 * size);
      continue;
    }
    // Item i + k needs the repair: its own two draws were the peeked ones,
    // the repair's come one by one after them.
    auto length = static_cast<int64_t>(current.length[k]);
    auto width = static_cast<int64_t>(current.width[k]);
    rng.set_state(states[2 * k + 1]);
    repair(c, rng, length, width);
    items[i + k] = item(length, width);
    i += k + 1;
    size = std::max(1, size / 2);
  }
}

}  // namespace sheetgen
