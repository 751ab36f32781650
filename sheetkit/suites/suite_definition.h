// A suite's JSON file that names the suite and its classes, each
// class the answers of its runs but the seed, and the seeds. Every field is
// checked before anything is made, the answers with the dialogue's own
// checks and messages.
#ifndef SHEETKIT_SUITE_DEFINITION_H_
#define SHEETKIT_SUITE_DEFINITION_H_

#include <cstdint>
#include <filesystem>
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

  // The run's answers as sheetgen reads them: one per line, the files
  // instances.txt and defects.txt, and the closing prompt's 0.
  std::string answers(int32_t seed) const;
  // The defect sizes for the manifest: "3x2 10x1", or "-" for none.
  std::string defect_sizes() const;
};

struct suite_definition {
  std::string name;
  std::vector<suite_class> classes;
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
