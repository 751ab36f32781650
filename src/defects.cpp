#include "defects.h"

#include "exact_float.h"
#include "rounding.h"

namespace sheetgen {

void place_defects(const run_parameters& p, random_generator& rng, placed_defect* out) {
  const double L = p.object.length;
  const double W = p.object.width;
  // Two draws per defect, even when a range is 0: the sequence must not
  // depend on the sizes.
  for (int32_t k = 0; k < p.no_defects; ++k) {
    const rectangle& d = p.defects[k];
    const auto x = static_cast<int32_t>(round_half_away(rng.uniform_random() * (L - d.length)));
    const auto y = static_cast<int32_t>(round_half_away(rng.uniform_random() * (W - d.width)));
    // The far corner as an exact integer: single precision sums would move
    // it beyond 2^24. It lies within the object, so it fits.
    out[k] = {x, y, x + d.length, y + d.width};
  }
}

}  // namespace sheetgen
