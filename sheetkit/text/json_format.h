// What every JSON document of sheetkit (stats, the paper table, export)
// shares: one vocabulary and its version.
//
// The names are the suite file's: length, width, instances, item_types (per
// instance), lower and upper (the bounds as the text the dialogue reads),
// defects (in answers, the list of [length, width]) and seed; min_area and
// max_area for the bounds on an item's area. A figure over all instances
// ends in _total, a figure of each instance taken over a run in
// _per_instance; a flat name (CSV) joins the nested ones with "_".
#ifndef SHEETKIT_JSON_FORMAT_H_
#define SHEETKIT_JSON_FORMAT_H_

namespace sheetkit {

/// "format_version", first in every document (and in the first line of JSON
/// lines): changes whenever a name or a value's meaning does, so that a
/// script can tell what it reads. Documents without it are version 1.
inline constexpr int json_format_version = 2;

}  // namespace sheetkit

#endif  // SHEETKIT_JSON_FORMAT_H_
