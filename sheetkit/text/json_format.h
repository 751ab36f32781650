// What every JSON document of sheetkit (stats, the paper table, export)
// shares: one vocabulary and its version.
//
// The names are the suite file's: length, width, instances, item_types (per
// instance), lower and upper (the bounds as the text the dialogue reads),
// defects (in answers, the list of [length, width]) and seed; min_area and
// max_area for the bounds on an item's area. A figure over all instances
// ends in _total, a figure of each instance taken over a run in
// _per_instance; a flat name (CSV) joins the nested ones with "_".
//
// Every document is built as an ordered_json (members in the order set)
// and written by json_text; only the export's, streamed for runs of
// millions of items, writes its text itself, in the same form.
#ifndef SHEETKIT_JSON_FORMAT_H_
#define SHEETKIT_JSON_FORMAT_H_

#include <nlohmann/json.hpp>
#include <string>

namespace sheetkit {

/// "format_version", first in every document (and in the first line of JSON
/// lines): changes whenever a name or a value's meaning does, so that a
/// script can tell what it reads. Documents without it are version 1.
inline constexpr int json_format_version = 2;

/// `j` as text: on one line (`indent` -1) or with `indent` spaces a level.
/// Names and file names are bytes: what is not UTF-8 becomes U+FFFD, so
/// that a document is always whole and never throws half written.
inline std::string json_text(const nlohmann::ordered_json& j, int indent = -1) {
  return j.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace sheetkit

#endif  // SHEETKIT_JSON_FORMAT_H_
