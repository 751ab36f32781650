#include "defects.h"

#include "output_file.h"
#include "random.h"

namespace sheetgen {

int32_t defect_x[MAXDEF];
int32_t defect_y[MAXDEF];

void place_defects(const run_parameters& p, const std::filesystem::path& folder) {
  output_file defectfile(folder, p.defectfilename);
  const double L = p.object.length;
  const double W = p.object.width;
  for (int32_t instance = 0; instance < p.no_instances; ++instance) {
    // Two draws per defect, x first, even when a range is 0: the sequence
    // must not depend on the sizes.
    for (int32_t k = 0; k < p.no_defects; ++k) {
      defect_x[k] =
          static_cast<int32_t>(round_half_away(uniform_random() * (L - p.defects[k].length)));
      defect_y[k] =
          static_cast<int32_t>(round_half_away(uniform_random() * (W - p.defects[k].width)));
    }
    // The far corner as an exact integer: single precision sums would move
    // it beyond 2^24.
    for (int32_t k = 0; k < p.no_defects; ++k) {
      defectfile.put_line(defect_x[k], defect_y[k], int64_t{defect_x[k]} + p.defects[k].length,
                          int64_t{defect_y[k]} + p.defects[k].width);
    }
    defectfile.put_char('\n');
  }
  defectfile.close();
}

}  // namespace sheetgen
