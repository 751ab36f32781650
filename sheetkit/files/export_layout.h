// The names an export folder's readers and writers share: one folder per
// instance, named by its number, holding the files PackingSolver reads and
// beside them the solvers' certificates. Written here once, so that the
// export, the checks of it, suite results and the pictures cannot drift.
#ifndef SHEETKIT_EXPORT_LAYOUT_H_
#define SHEETKIT_EXPORT_LAYOUT_H_

#include <array>
#include <cstdint>
#include <string>

namespace sheetkit {

/// "instance_K": the folder of instance K (numbered from 1, no leading
/// zeros) in an export, and the stem of its file where a format or a
/// picture writes one file per instance (instance_K.svg, instance_K.ins2D).
inline std::string instance_name(int64_t k) { return "instance_" + std::to_string(k); }

/// PackingSolver's files in an instance's folder: the item types, the
/// object, its defects (always written, only the header when there are
/// none) and, where asked for, the solver's parameters.
inline constexpr const char* export_items_file = "items.csv";
inline constexpr const char* export_bins_file = "bins.csv";
inline constexpr const char* export_defects_file = "defects.csv";
inline constexpr const char* export_parameters_file = "parameters.csv";

/// The three every exported instance folder has, in the order written.
inline constexpr std::array<const char*, 3> export_instance_files = {
    export_items_file, export_bins_file, export_defects_file};

/// A solver's certificate and output beside them: SOLVER.csv, SOLVER.json
/// (PackingSolver's --certificate and --output), SOLVER.log.
inline constexpr const char* certificate_extension = ".csv";
inline constexpr const char* solver_output_extension = ".json";
inline constexpr const char* solver_log_extension = ".log";

/// The certificate's name when none is given: solution.csv.
inline constexpr const char* default_certificate_file = "solution.csv";

}  // namespace sheetkit

#endif  // SHEETKIT_EXPORT_LAYOUT_H_
