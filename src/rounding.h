// Nearest integer, halves away from zero: how every real value becomes a
// dimension or a position.
#ifndef SHEETGEN_ROUNDING_H_
#define SHEETGEN_ROUNDING_H_

#include <cstdint>

#include "exact_float.h"

namespace sheetgen {

// Exact for |x| < 2^62.
inline int64_t round_half_away(double x) {
  const int64_t t = static_cast<int64_t>(x);       // toward zero
  const double rest = x - static_cast<double>(t);  // exact
  // Comparisons as numbers, not branches: a fraction is a coin toss that
  // a branch predictor loses half the time.
  return t + static_cast<int64_t>(rest >= 0.5) - static_cast<int64_t>(rest <= -0.5);
}

}  // namespace sheetgen

#endif  // SHEETGEN_ROUNDING_H_
