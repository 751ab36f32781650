// A run in the forms other programs read: one folder per instance of CSV
// files for PackingSolver's rectangle problem type, one JSON document, or
// JSON lines (one document per line, for readers that stream). All stream
// the instances, one at a time, so any run fits in memory.
#ifndef SHEETKIT_EXPORT_H_
#define SHEETKIT_EXPORT_H_

#include <cstdint>
#include <filesystem>
#include <ostream>

#include "files/instance.h"

namespace sheetkit {

// What the solver is told of the item types beyond their sizes.
struct packingsolver_rules {
  // COPIES of each item type; unlimited: -1, written as the most copies
  // that could fit the object by area, as the solver itself takes
  // unlimited copies.
  int64_t copies = 1;
  // ORIENTED 0: the solver may turn items by 90 degrees.
  bool rotation = false;
};

// Writes DIR/instance_N/ for every instance (N as numbered in the files,
// 1-based, without leading zeros), creating the folders, each with
//   items.csv    WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED: per item type its
//                length, width, area, and by default 1, 1 (one copy, nothing
//                may be rotated; see packingsolver_rules); a family run's
//                value and copies where the instance has them (unlimited
//                written as for packingsolver_rules);
//   bins.csv     WIDTH,HEIGHT,COPIES: the object's length, width, 1;
//   defects.csv  BIN,X,Y,WIDTH,HEIGHT: per defect 0, x1, y1, x2 - x1, y2 - y1;
//                always written, only the header when there are no defects.
// Header line first, commas, integers, LF line ends. Each file is written
// whole or not at all, and replaces one of the same name only then (see
// file_writer). Throws file_error "PATH: cannot be created: REASON" or
// "PATH: cannot be written: REASON" on failure.
void export_packingsolver(const run_info& run, const instance_pass& pass,
                          const std::filesystem::path& dir, const packingsolver_rules& rules = {});

// Writes one JSON document:
//   {"format_version":2,
//    "object":{"length":L,"width":W},
//    "answers":{"instances":..,"item_types":..,"lower":"..","upper":"..",
//               "min_area":..,"max_area":..,"defects":[[length,width],...],"seed":..} or null,
//    "instances":[
//     {"items":[[length,width,area],...],"defects":[[x1,y1,x2,y2],...]},
//     (a family run's instance also "values":[...],"copies":[...] after
//     "items", one per item type, null for unlimited copies)
//     ...]}
// with one instance per line, named as in the suite file (json_format.h).
// The bounds are text: the shortest decimal that the dialogue reads back to
// the same single-precision value ("0.1", not 0.10000000149011612).
// Throws sheetgen::error "Cannot write the JSON document: REASON" when the
// stream fails.
void export_json(const run_info& run, const instance_pass& pass, std::ostream& out);

// The same into a file, which replaces one of the same name only when the
// document is complete (see file_writer); "PATH: cannot be written: REASON"
// on failure, the earlier file left as it was.
void export_json(const run_info& run, const instance_pass& pass, const std::filesystem::path& file);

// Writes JSON lines, each line one JSON document:
//   {"format_version":2,"object":{"length":L,"width":W},"answers":{...} or null}
//   {"instance":N,"items":[[length,width,area],...],"defects":[[x1,y1,x2,y2],...]}
//   ...
// the first for the run (the answers as in export_json), then one per
// instance, N as numbered in the files. A reader holds one instance at a
// time: a 2000 x 2000 run is 2000 short documents, not one of 124 MB.
// Failures as export_json's.
void export_jsonl(const run_info& run, const instance_pass& pass, std::ostream& out);
void export_jsonl(const run_info& run, const instance_pass& pass,
                  const std::filesystem::path& file);

}  // namespace sheetkit

#endif  // SHEETKIT_EXPORT_H_
