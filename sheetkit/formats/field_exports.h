// A run in the formats the field publishes its other benchmarks in: the
// ROADEF/EURO 2018 challenge's CSV files, 2DPackLib's .ins2D, and
// PackingSolver's parameters.csv for the guillotine settings. Each writes
// what the format can carry and refuses, naming it, what it cannot, unless
// asked to drop it. docs/exports.md gives each mapping.
#ifndef SHEETKIT_FIELD_EXPORTS_H_
#define SHEETKIT_FIELD_EXPORTS_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/instance.h"

namespace sheetkit {

// What the run's item types are besides their sizes. Unlimited copies
// (below 0) are written as the most copies that can fit (bounds.h).
struct field_export_rules {
  int64_t copies = 1;     // of each item type; below 0: unlimited
  bool rotation = false;  // whether items may be turned by 90 degrees
  // Whether the run's values are other than the areas (a family's): the
  // writers here write value = area.
  bool values_beyond_area = false;
  bool drop = false;  // write what the format carries, leaving out the rest
};

// What a format cannot carry of the run under `rules`, one phrase each
// ("values other than the area (ROADEF/EURO 2018 minimises waste)"); empty
// when it carries all. `format` is "roadef2018" or "2dpacklib".
std::vector<std::string> cannot_carry(const std::string& format, const field_export_rules& rules);

// "FORMAT cannot carry A and B; give --drop to write the instances without
// it", or empty when the format carries all or `rules.drop` is set.
std::string refusal(const std::string& format, const field_export_rules& rules);

// Writes DIR/instance_N/ for every instance, each with, semicolons and a
// header line as the challenge writes them:
//   batch.csv         ITEM_ID;LENGTH_ITEM;WIDTH_ITEM;STACK;SEQUENCE: every
//                     copy an item of its own (IDs from 0 in type order),
//                     its own stack (STACK = ITEM_ID) and SEQUENCE 1;
//                     LENGTH_ITEM our length, WIDTH_ITEM our width;
//   defects.csv       DEFECT_ID;PLATE_ID;X;Y;WIDTH;HEIGHT: per defect its
//                     ID, plate 0, x1, y1, x2 - x1, y2 - y1;
//   global_param.csv  NAME;VALUE: nPlates 1, widthPlates our length,
//                     heightPlates our width, and minXX 1, maxXX our
//                     length, minYY 1, minWaste 1 (no limit of ours).
// Throws sheetgen::error naming what cannot be carried (see cannot_carry)
// before anything is written, unless `rules.drop`; file_error as export's
// other writers.
void export_roadef2018(const run_info& run, const instance_pass& pass,
                       const std::filesystem::path& dir, const field_export_rules& rules);

// Writes DIR/instance_N.ins2D for every instance, whitespace-separated as
// 2DPackLib writes them: the number of item types; the object's length and
// width; per item type "ID w h dmin dmax profit": its ID from 1, its length
// and width, 0, its copies, its value. And, since the format has no
// defects, DIR/instance_N.defects beside it: the number of defects, then
// per defect "ID x y w h" (ID from 1, the corner nearest the origin, its
// length and width), written even when there are none. Refuses as
// export_roadef2018.
void export_2dpacklib(const run_info& run, const instance_pass& pass,
                      const std::filesystem::path& dir, const field_export_rules& rules);

// A guillotine solver's settings, as PackingSolver's options name them.
struct packingsolver_parameters {
  int64_t number_of_stages = 3;
  std::string cut_type = "non-exact";           // or "exact"
  std::string first_stage_orientation = "any";  // "vertical", "horizontal", "any"
  int64_t cut_thickness = 0;
  int64_t minimum_waste_length = 1;
  bool cut_through_defects = false;
};

// parameters.csv: NAME,VALUE lines under that header, one per setting,
// named as the solver's options (number-of-stages, cut-type,
// first-stage-orientation, cut-thickness, minimum-waste-length,
// cut-through-defects 0 or 1).
std::string packingsolver_parameters_csv(const packingsolver_parameters& p);

// Writes DIR/instance_K/parameters.csv for K = 1..instances: the export's
// instance folders, made first, each get the same settings.
void write_packingsolver_parameters(const std::filesystem::path& dir, int64_t instances,
                                    const packingsolver_parameters& p);

}  // namespace sheetkit

#endif  // SHEETKIT_FIELD_EXPORTS_H_
