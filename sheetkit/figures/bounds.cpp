#include "figures/bounds.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <limits>
#include <numeric>

namespace sheetkit {

namespace {

constexpr int64_t int64_max = std::numeric_limits<int64_t>::max();

using wide = __int128;

int64_t clamped(wide v) { return v > int64_max ? int64_max : static_cast<int64_t>(v); }

// The most copies of an l x w rectangle in an L x W one without turning:
// the grid. (Each copy, taken as a half-open box, holds exactly one point
// (i l, j w) with 1 <= i <= L / l and 1 <= j <= W / w.)
int64_t grid(int64_t length, int64_t width, int64_t l, int64_t w) {
  return (length / l) * (width / w);
}

int64_t copies_fitting(const rectangle& t, int64_t copies, bool rotation, const rectangle& object,
                       int64_t usable_area) {
  const int64_t l = t.length, w = t.width, L = object.length, W = object.width;
  if (l <= 0 || w <= 0 || usable_area <= 0) return 0;
  const bool straight = l <= L && w <= W;
  const bool turned = rotation && w <= L && l <= W;
  if (!straight && !turned) return 0;
  int64_t n = usable_area / (l * w);
  // Turned copies among straight ones escape the grid's count; a square's
  // turned copy is the same copy.
  if (straight && (!turned || l == w)) n = std::min(n, grid(L, W, l, w));
  if (turned && !straight) n = std::min(n, grid(L, W, w, l));
  return copies < 0 ? n : std::min(n, copies);
}

// A knapsack item: `count` copies of one item type.
struct kind {
  int64_t weight;  // its area in units of the areas' common divisor
  int64_t value;
  int64_t count;
};

// Splits `count` into 1, 2, 4, ... and the rest, so that every number of
// copies up to it is a sum of some of the pieces.
template <typename F>
void binary_pieces(int64_t count, F take) {
  for (int64_t k = 1; count > 0; k *= 2) {
    const int64_t piece = std::min(k, count);
    if (!take(piece)) return;
    count -= piece;
  }
}

// The linear relaxation in units: the kinds by value per weight, the last
// one taken in part; rounded down, since the knapsack's values are integers.
int64_t relaxation(std::vector<kind> kinds, int64_t capacity) {
  std::stable_sort(kinds.begin(), kinds.end(), [](const kind& a, const kind& b) {
    return wide{a.value} * b.weight > wide{b.value} * a.weight;
  });
  wide total = 0;
  wide room = capacity;
  for (const kind& k : kinds) {
    const wide weight = wide{k.weight} * k.count;
    if (weight <= room) {
      total += wide{k.value} * k.count;
      room -= weight;
    } else {
      total += wide{k.value} * room / k.weight;
      break;
    }
  }
  return clamped(total);
}

}  // namespace

std::string_view method_name(knapsack_method m) {
  switch (m) {
    case knapsack_method::all_fit:
      return "all_fit";
    case knapsack_method::subset_sum:
      return "subset_sum";
    case knapsack_method::dynamic_programming:
      return "dynamic_programming";
    case knapsack_method::linear_relaxation:
      return "linear_relaxation";
  }
  return "linear_relaxation";
}

instance_bounds bound_calculator::operator()(const bound_input& in) {
  instance_bounds b;
  const int64_t L = in.object.length, W = in.object.width;
  b.object_area = L > 0 && W > 0 ? L * W : 0;
  clipped_.clear();
  for (const placed_defect& d : in.defects) {
    clipped_.push_back({std::max(d.x1, 0), std::max(d.y1, 0),
                        static_cast<int32_t>(std::min<int64_t>(d.x2, L)),
                        static_cast<int32_t>(std::min<int64_t>(d.y2, W))});
  }
  b.defect_area = b.object_area > 0 ? union_area_(clipped_) : 0;
  b.usable_area = b.object_area - b.defect_area;

  const std::size_t n = in.items.size();
  const auto value_of = [&](std::size_t t) -> int64_t {
    return t < in.values.size() ? in.values[t] : in.items[t].area;
  };
  b.copies_that_fit.resize(n);
  std::vector<kind> kinds;
  wide all_value = 0, all_area = 0;
  int64_t unit = 0;
  for (std::size_t t = 0; t < n; ++t) {
    const rectangle& r = in.items[t];
    const int64_t copies = t < in.copies.size() ? in.copies[t] : in.copies_each;
    const int64_t fit = copies_fitting(r, copies, in.rotation, in.object, b.usable_area);
    b.copies_that_fit[t] = fit;
    const int64_t value = value_of(t);
    if (value != r.area) b.value_is_area = false;
    // A copy worth nothing (or less) never raises the best value.
    if (fit == 0 || value <= 0) continue;
    const int64_t area = int64_t{r.length} * r.width;
    kinds.push_back({area, value, fit});
    all_value += wide{value} * fit;
    all_area += wide{area} * fit;
    unit = std::gcd(unit, area);
  }
  b.copies_value = clamped(all_value);

  // Any set of copies has an area that is a multiple of `unit`.
  const int64_t capacity = unit > 0 ? std::max<int64_t>(b.usable_area, 0) / unit : 0;
  for (kind& k : kinds) k.weight /= unit;
  // Value = area: every copy is worth its area, so the relaxation fills
  // the capacity (or takes every copy) without sorting.
  b.relaxation = b.value_is_area ? clamped(std::min(wide{capacity} * unit, all_area))
                                 : relaxation(kinds, capacity);

  knapsack_bound& k = b.knapsack;
  if (all_area <= b.usable_area) {
    k = {b.copies_value, knapsack_method::all_fit, true, {}};
  } else if (b.value_is_area) {
    k = {0, knapsack_method::subset_sum, true, {}};
    const int64_t bits = capacity + 1;
    if (bits > in.budget.subset_sum_bits) {
      k.exact = false;
      k.note = "the subset sum would need " + std::to_string(bits) + " bits, more than its " +
               std::to_string(in.budget.subset_sum_bits);
    } else {
      const auto words = static_cast<std::size_t>((bits + 63) / 64);
      bits_.assign(words, 0);
      bits_[0] = 1;
      uint64_t* const w = bits_.data();
      const auto top = static_cast<int64_t>(words) - 1;
      const uint64_t top_mask = bits % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (bits % 64)) - 1;
      int64_t reach = 0;  // no sum reached yet is larger
      int64_t work = 0;
      bool full = false;
      // The largest first: the sums reach near the capacity soonest, where
      // the search ends once the capacity itself is reached. Any order gives
      // the same result.
      std::vector<kind> order = kinds;
      std::stable_sort(order.begin(), order.end(),
                       [](const kind& x, const kind& y) { return x.weight > y.weight; });
      for (const kind& kd : order) {
        binary_pieces(kd.count, [&](int64_t piece) {
          const int64_t shift = kd.weight * piece;
          if (shift > capacity) return false;  // nor any larger piece
          const int64_t lo = shift / 64;
          const int64_t hi = std::min(top, (reach + shift) / 64);
          work += hi - lo + 1;
          if (work > in.budget.subset_sum_words) return false;
          const int bit = static_cast<int>(shift % 64);
          // From the top down, so that every word read is still as it was.
          if (bit == 0) {
            for (int64_t i = hi; i >= lo; --i) w[i] |= w[i - lo];
          } else {
            for (int64_t i = hi; i > lo; --i)
              w[i] |= (w[i - lo] << bit) | (w[i - lo - 1] >> (64 - bit));
            w[lo] |= w[0] << bit;
          }
          w[top] &= top_mask;
          reach = std::min(capacity, reach + shift);
          full = (w[capacity / 64] >> (capacity % 64)) & 1;
          return !full;
        });
        if (full || work > in.budget.subset_sum_words) break;
      }
      if (work > in.budget.subset_sum_words) {
        k.exact = false;
        k.note = "the subset sum would shift more than its " +
                 std::to_string(in.budget.subset_sum_words) + " words";
      } else {
        int64_t i = top;
        while (i > 0 && w[i] == 0) --i;
        const int64_t best = i * 64 + (63 - std::countl_zero(w[i]));
        k.value = best * unit;
      }
    }
  } else {
    k = {0, knapsack_method::dynamic_programming, true, {}};
    const int64_t cells = capacity + 1;
    int64_t updates = 0;
    for (const kind& kd : kinds) {
      binary_pieces(kd.count, [&](int64_t piece) {
        const int64_t shift = kd.weight * piece;
        if (shift > capacity) return false;
        updates = std::min(int64_max / 2, updates + (capacity - shift + 1));
        return true;
      });
    }
    if (all_value > int64_max) {
      k.exact = false;
      k.note = "the values' total does not fit 64 bits";
    } else if (cells > in.budget.table_cells) {
      k.exact = false;
      k.note = "the table would need " + std::to_string(cells) + " cells, more than its " +
               std::to_string(in.budget.table_cells);
    } else if (updates > in.budget.table_updates) {
      k.exact = false;
      k.note = "the table would take " + std::to_string(updates) + " updates, more than its " +
               std::to_string(in.budget.table_updates);
    } else {
      table_.assign(static_cast<std::size_t>(cells), 0);
      int64_t* const t = table_.data();
      for (const kind& kd : kinds) {
        binary_pieces(kd.count, [&](int64_t piece) {
          const int64_t shift = kd.weight * piece;
          if (shift > capacity) return false;
          const int64_t gain = kd.value * piece;
          for (int64_t j = capacity; j >= shift; --j) t[j] = std::max(t[j], t[j - shift] + gain);
          return true;
        });
      }
      k.value = t[capacity];
    }
  }
  if (!k.exact) {
    k.method = knapsack_method::linear_relaxation;
    k.value = b.relaxation;
  }

  b.best = b.relaxation;
  b.best_name = "linear_relaxation";
  if (k.exact && k.value <= b.best) {
    b.best = k.value;
    b.best_name = "knapsack";
  }
  if (b.copies_value < b.best) {
    b.best = b.copies_value;
    b.best_name = "copies_value";
  }
  if (b.value_is_area && b.usable_area < b.best) {
    b.best = b.usable_area;
    b.best_name = "usable_area";
  }
  return b;
}

instance_bounds compute_bounds(const bound_input& in) {
  bound_calculator calculator;
  return calculator(in);
}

}  // namespace sheetkit
