// A suite's JSON file that names the suite and its classes, each
// class the answers of its runs but the seed (or a family and its
// parameters), and the seeds. Every field is
// checked before anything is made, the answers with the dialogue's own
// checks and messages.
#ifndef SHEETKIT_SUITE_DEFINITION_H_
#define SHEETKIT_SUITE_DEFINITION_H_

#include <sheetgen/families.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetkit {

// Most sets in one suite: the suite's order is held in memory.
constexpr int64_t max_suite_sets = 1000000;

// Most bytes of a suite file that are read: a million seeds, listed one
// by one with room to spare, and never the endless bytes of a device.
constexpr uint64_t max_definition_bytes = uint64_t{64} << 20;

// One class of a suite.
struct suite_class {
  std::string name;  // a safe folder name: [A-Za-z0-9._-], not starting with a dot
  int32_t instances = 0;
  int32_t length = 0;
  int32_t width = 0;
  int32_t item_types = 0;
  std::string lower;  // the bounds exactly as written
  std::string upper;
  std::vector<std::pair<int32_t, int32_t>> defects;  // length and width of each
  // Without `complete`: every seed, in order. With it: seeds from `first`
  // on, skipping those whose run ends in the repair abort, until `count`
  // runs complete.
  std::vector<int32_t> seeds;
  bool complete = false;
  int32_t first = 0;
  int64_t count = 0;

  // A family class: its run's settings, complete, but for the seed, which
  // each set gives; `layer` is the class's defect count of a nested
  // layer, or -1. None for a class of the dialogue's answers. A family
  // class keeps instances, length, width and item_types (its "items")
  // for the readers; its bounds are "-" and `defects` is empty.
  std::optional<sheetgen::family_settings> family;
  // Whether a family class's sets have defects: a defect law's, or the
  // family's own (the perfect family isolates its defects by cuts).
  bool family_defects = false;

  // The run's answers as sheetgen reads them: one per line, the files
  // instances.txt and defects.txt, and the closing prompt's 0.
  std::string answers(int32_t seed) const;
  // The defect sizes for the manifest: "3x2 10x1", or "-" for none.
  std::string defect_sizes() const;

  // The family run of the set `seed`; only for a family class.
  sheetgen::family_settings settings(int32_t seed) const;
  // The file a set is made from, first in its record: answers.txt, or a
  // family's recipe.txt; and its bytes.
  const char* source_file() const;
  std::string source(int32_t seed) const;
  // Whether a completed set has a defect file.
  bool has_defect_file() const;
  // The manifest's columns from "instances" to "defects", tab-separated.
  std::string manifest_columns() const;
  // The law that makes the sets, for the manifest's "law" column: the
  // family and its parameters ("binpacking class=3 items=40 first=1"), or
  // "dialogue".
  std::string law() const;
};

struct suite_definition {
  std::string name;
  std::vector<suite_class> classes;

  // Whether a class is a family's: the manifest then has a "law" column.
  bool has_families() const;
};

// Reads a suite file's text; `file` names it in messages. The answers are read
// as sheetgen reads them in a set's folder under `dir` (the dialogue
// compares the two file names there). Throws sheetgen::error
// "FILE:LINE:COLUMN: CONTEXT: MESSAGE" at the first fault, LINE:COLUMN
// where the value (or the field's name, for an unknown field) starts, such
// as `suite.json:7:25: class "sheet", upper: Value must lie between 0 and 1!`.
suite_definition read_suite_definition(const std::string& file, std::string_view text,
                                       const std::filesystem::path& dir);

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_DEFINITION_H_
