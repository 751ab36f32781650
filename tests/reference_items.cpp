#include "reference_items.h"

#include <sheetgen/parameters.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "random.h"

namespace sheetgen::reference {

namespace {

int64_t nearest(double x) { return static_cast<int64_t>(std::round(x)); }

bool fits(int64_t area, const run_parameters& p) { return area >= p.minarea && area <= p.maxarea; }

}  // namespace

bool generate_items(const run_parameters& p, std::FILE* file, random_generator& g) {
  std::vector<rectangle> items(static_cast<std::size_t>(std::max(p.no_items, 0)));
  const double L = p.object.length;
  const double W = p.object.width;
  for (int32_t i = 0; i < p.no_items; ++i) {
    const double A =
        g.uniform_random() * static_cast<double>(int64_t{p.maxarea} - p.minarea) + p.minarea;
    const double t = A * A / (W * W);
    const double qlo = std::max(0.1, t / (t + A));
    const double s = L * L;
    const double qhi = std::min(0.9, s / (s + A));
    const double q = g.uniform_random() * (qhi - qlo) + qlo;
    const double l = std::sqrt(q * A / (1 - q));
    int64_t length = nearest(l);
    int64_t width = nearest(A / l);
    while (!fits(length * width, p)) {
      const double u = g.uniform_random();
      const double dl = static_cast<double>(length);
      const double dw = static_cast<double>(width);
      if (length * width < p.minarea) {
        if (u < 0.5 && length < L && (length + 1) * width <= p.maxarea &&
            (dl + 1) / ((dl + 1) + dw) <= 0.9) {
          ++length;
        } else if (width < W && length * (width + 1) <= p.maxarea && dl / ((dl + dw) + 1) >= 0.1) {
          ++width;
        } else {
          return false;
        }
      } else {
        if (u < 0.5 && length > 0 && (length - 1) * width >= p.minarea &&
            (dl - 1) / ((dl - 1) + dw) >= 0.1) {
          --length;
        } else if (width > 0 && length * (width - 1) >= p.minarea && dl / ((dl + dw) - 1) <= 0.9) {
          --width;
        } else {
          return false;
        }
      }
    }
    items[i] = {.area = static_cast<int32_t>(length * width),
                .length = static_cast<int32_t>(length),
                .width = static_cast<int32_t>(width)};
  }
  for (int32_t i = 0; i < p.no_items; ++i) {
    std::fprintf(file, "%f\t%f\t%f\n", static_cast<double>(items[i].length),
                 static_cast<double>(items[i].width), static_cast<double>(items[i].area));
  }
  std::fprintf(file, "\n");
  return true;
}

bool run(run_parameters p, const std::filesystem::path& folder) {
  derive_area_bounds(p);
  random_generator g(p.seed);
  g.uniform_random();
  std::FILE* file = std::fopen((folder / p.filename).string().c_str(), "wb");
  bool ok = true;
  for (int32_t i = 0; ok && i < p.no_instances; ++i) ok = generate_items(p, file, g);
  std::fclose(file);
  if (!ok || p.no_defects < 1) return ok;
  // Each defect's two draws, x first; the far corner is exact.
  file = std::fopen((folder / p.defectfilename).string().c_str(), "wb");
  for (int32_t i = 0; i < p.no_instances; ++i) {
    for (int32_t k = 0; k < p.no_defects; ++k) {
      const rectangle& d = p.defects[k];
      const int64_t x =
          nearest(g.uniform_random() * (static_cast<double>(p.object.length) - d.length));
      const int64_t y =
          nearest(g.uniform_random() * (static_cast<double>(p.object.width) - d.width));
      std::fprintf(file, "%f\t%f\t%f\t%f\n", static_cast<double>(x), static_cast<double>(y),
                   static_cast<double>(x + d.length), static_cast<double>(y + d.width));
    }
    std::fprintf(file, "\n");
  }
  std::fclose(file);
  return ok;
}

}  // namespace sheetgen::reference
