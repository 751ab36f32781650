/// \file
/// A run's two files read in step: each instance's item block with its
/// defect block, and files that disagree on how many instances there are
/// reported where the shorter one ends.
#ifndef SHEETGEN_RUN_READER_H_
#define SHEETGEN_RUN_READER_H_

#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/types.h>

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace sheetgen {

/// Reads an instance file and, when there is one, a defect file in step, a
/// block of each at a time, in constant memory. Everything the file readers
/// refuse comes out as their `error` ("FILE:LINE: message"), and so do files
/// with different numbers of blocks; after an error, stop.
class run_reader {
 public:
  /// `defects` may be null: a run without a defect file. The names start
  /// the messages. Throws `error` when a stream has failed already.
  run_reader(std::istream& instances, std::string instance_name, std::istream* defects,
             std::string defect_name);
  /// Reads the files by name, as the readers' path constructors do (a
  /// regular file mapped where SHEETGEN_READ=map chooses it). An empty `defects`:
  /// no defect file. Throws file_error when a file cannot be opened.
  run_reader(const std::filesystem::path& instances, std::string instance_name,
             const std::filesystem::path& defects, std::string defect_name);
  /// Reads with readers made already (by name or from streams, by a caller
  /// that reports a file it cannot open its own way); without `defects`,
  /// no defect file. The names start the messages about both files.
  run_reader(instance_reader instances, std::string instance_name,
             std::optional<defect_reader> defects, std::string defect_name);

  /// Reads the next instance's item types and defects (both emptied first,
  /// their capacity reused; no defects without a defect file). False after
  /// the last one. Throws `error` for anything either reader refuses, and
  /// "FILE:LINE: file ends after N blocks, but OTHER has more (block N+1
  /// starts on its line L)" when one file ends before the other.
  bool next(std::vector<rectangle>& items, std::vector<placed_defect>& defects);

  /// Instances read completely so far.
  int64_t instances() const { return count_; }
  /// The first line of the item block read last.
  int64_t item_line() const { return item_line_; }
  /// The first line of the defect block read last; 0 without a defect file.
  int64_t defect_line() const { return defect_line_; }
  /// The line after the last item block read, where the next one would start.
  int64_t item_end_line() const { return item_end_; }
  /// The same in the defect file.
  int64_t defect_end_line() const { return defect_end_; }

 private:
  instance_reader items_;
  std::optional<defect_reader> defects_;
  std::string instance_name_;
  std::string defect_name_;
  int64_t count_ = 0;
  int64_t item_line_ = 0;
  int64_t defect_line_ = 0;
  int64_t item_end_ = 1;
  int64_t defect_end_ = 1;
};

}  // namespace sheetgen

#endif  // SHEETGEN_RUN_READER_H_
