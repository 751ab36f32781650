#include "items.h"

#include <algorithm>
#include <cmath>

#include "output_file.h"
#include "random.h"

namespace sheetgen {

rectangle items[MAXMOD];
double temparea[MAXMOD];

namespace {

const char* const repair_failed =
    " Determination of integer length or width of the small items failed. Please check the "
    "chosen bounds for the relative size as well as the size of the large object!";

// Smallest integer not below p: the ceiling for positive products.
int32_t lower_area(double p) {
  const auto v = static_cast<int32_t>(p);
  return static_cast<double>(v) != p ? v + 1 : v;
}

double ratio(int64_t numerator, double denominator) {
  return static_cast<double>(numerator) / denominator;
}

}  // namespace

void derive_area_bounds(run_parameters& p) {
  const float area = static_cast<float>(p.object.area);
  const float lo = area * p.minrelsize;
  const float hi = area * p.maxrelsize;
  p.minarea = lower_area(static_cast<double>(lo));
  p.maxarea = static_cast<int32_t>(static_cast<double>(hi));
}

void generate_items(const run_parameters& p, output_file& file) {
  const double L = p.object.length;
  const double W = p.object.width;
  const int64_t minarea = p.minarea;
  const int64_t maxarea = p.maxarea;
  const double span = static_cast<double>(maxarea - minarea);

  for (int32_t i = 0; i < p.no_items; ++i) {
    const double A = uniform_random() * span + static_cast<double>(minarea);
    temparea[i] = A;

    // The ratios at which the item is exactly as wide, and exactly as long,
    // as the object, cut to [minratio, maxratio].
    const double t = A * A / (W * W);
    const double qlo = std::max(minratio, t / (t + A));
    const double s = L * L;
    const double qhi = std::min(maxratio, s / (s + A));
    const double q = uniform_random() * (qhi - qlo) + qlo;

    const double l = std::sqrt(q * A / (1 - q));
    // 64 bits: on odd objects a dimension can pass 2^31 before the repair.
    int64_t length = round_half_away(l);
    int64_t width = round_half_away(A / l);
    int64_t area = length * width;

    // Move one dimension by one unit per pass until the area is admissible.
    // One draw per pass, whether or not the pass changes anything.
    while (area < minarea || area > maxarea) {
      const double u = uniform_random();
      const double dl = static_cast<double>(length);
      const double dw = static_cast<double>(width);
      if (area < minarea) {
        if (u < 0.5 && length < L && (length + 1) * width <= maxarea &&
            ratio(length + 1, (dl + 1) + dw) <= maxratio) {
          ++length;
        } else if (width < W && length * (width + 1) <= maxarea &&
                   ratio(length, (dl + dw) + 1) >= minratio) {
          ++width;
        } else {
          abort_run(repair_failed);
        }
      } else {
        if (u < 0.5 && length > 0 && (length - 1) * width >= minarea &&
            ratio(length - 1, (dl - 1) + dw) >= minratio) {
          --length;
        } else if (width > 0 && length * (width - 1) >= minarea &&
                   ratio(length, (dl + dw) - 1) <= maxratio) {
          --width;
        } else {
          abort_run(repair_failed);
        }
      }
      area = length * width;
    }
    // minarea >= 1, so both dimensions are at least 1 and at most maxarea.
    items[i] = {static_cast<int32_t>(area), static_cast<int32_t>(length),
                static_cast<int32_t>(width)};
  }

  for (int32_t i = 0; i < p.no_items; ++i)
    file.put_line({items[i].length, items[i].width, items[i].area});
  file.put_char('\n');
}

}  // namespace sheetgen
