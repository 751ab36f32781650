// Where a run's solutions are, found an instance at a time in the run's
// order and judged: an export folder with a certificate in each
// instance_K/ (held to the export's files and record), one certificate
// file per instance, or placement files for the whole run.
#ifndef SHEETKIT_SOLUTION_SOURCE_H_
#define SHEETKIT_SOLUTION_SOURCE_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/export_layout.h"
#include "solutions/judge.h"
#include "solutions/solution_reader.h"

namespace sheetkit {

/// The solutions as the user names them.
struct solution_places {
  std::vector<std::string> paths;  ///< an export folder, certificates, or placement files
  std::string certificate =
      default_certificate_file;  ///< the certificate's name in an export's instance_K/
  bool from_export = false;      ///< paths is one export folder
  bool placements = false;       ///< paths are placement files for the run
};

/// The export's record in an export folder: the line a set's `.exported`
/// holds. Its terms rule; a folder without one is held to what its
/// items.csv shows (see read_export_contract).
inline constexpr const char* export_record_file = ".exported";

/// A run's solutions, an instance at a time, in the run's order.
class solution_source {
 public:
  /// Opens the first solution file and reads its header (once: a pipe is
  /// read once), so that `placements` is known. Throws sheetgen::error when
  /// an export folder's record names no rules.
  explicit solution_source(solution_places places);

  /// Whether the files given are placement files (known from the first's
  /// header); places.placements is ignored.
  bool placements() const { return places_.placements; }

  /// Instance `c.number`'s solution judged (c.contract is set here for an
  /// export folder). Throws sheetgen::error for placement files out of
  /// order or a certificate among them.
  judgement judge(judge_case c);

  /// Reads past instance `k` (placement files are read in order).
  void skip(int64_t k);

  /// Instance k's folder in the export folder.
  std::filesystem::path instance_folder(int64_t k) const;

  /// After the run's `instances`: what the solutions hold beyond them, or "".
  std::string leftover(int64_t instances);

 private:
  bool next_placements(int64_t k, solution& out);

  solution_places places_;
  std::optional<export_terms> terms_;        // the export folder's record
  std::unique_ptr<std::ifstream> first_in_;  // the first file, its header read
  std::unique_ptr<solution_reader> first_reader_;
  std::string first_error_;  // why its header could not be read
  std::unique_ptr<std::ifstream> in_;
  std::unique_ptr<solution_reader> reader_;
  std::size_t next_file_ = 0;
  solution next_;
  std::optional<solution> pending_;
  int64_t last_ = 0;
};

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_SOURCE_H_
