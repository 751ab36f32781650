/// \file
/// The rules a run's answers must follow, with the messages the dialogue
/// gives, and what follows from them.
#ifndef SHEETGEN_PARAMETERS_H_
#define SHEETGEN_PARAMETERS_H_

#include <sheetgen/types.h>

#include <filesystem>

namespace sheetgen {

/// Sets p.minarea and p.maxarea from p.object.area and the relative bounds:
/// the smallest integer not below, and the largest not above, the products
/// formed in single precision (as stored instance sets were made).
void derive_area_bounds(run_parameters& p);

/// Throws `error` with the dialogue's message unless the number of
/// instances is at most MAXMOD.
void check_instances(int32_t no_instances);
/// Throws `error` unless length and width are positive and their product fits 32 bits.
void check_object(int32_t length, int32_t width);
/// Throws `error` unless the number of item types is at most MAXMOD.
void check_items(int32_t no_items);
/// Throws `error` unless 0 < relsize < 1 (NaN fails).
void check_relsize(float relsize);
/// Throws `error` when the lower relative bound exceeds the upper one.
void check_bounds(float minrelsize, float maxrelsize);
/// Throws `error` unless the number of defects is at most MAXDEF.
void check_defect_count(int32_t no_defects);
/// Throws `error` unless the defect has positive sides and fits onto `object` unrotated.
void check_defect(const rectangle& defect, const rectangle& object);
/// Throws `error` unless `name` is a word of 1 to MAXNAME characters.
void check_file_name(const std::string& name);

/// True when the two names, taken relative to `folder`, lead to the same
/// file: equal paths once links and dots are resolved, or two existing
/// names of one file (a hard link). Never throws.
bool same_file(const std::filesystem::path& folder, const std::string& a, const std::string& b);

/// Every check above but the file names', in the dialogue's order, on
/// answers assembled in code. Also sets object.area, the defect areas,
/// minarea and maxarea.
void check_parameters(run_parameters& p);

}  // namespace sheetgen

#endif  // SHEETGEN_PARAMETERS_H_
