// A folder of files that a command writes (draw's pictures, export's
// instance folders), held to one rule: the folder appears under its name
// only when every file in it is written, and never mixes with what was
// there before. Its files are written into a fresh folder beside it, which
// then takes its place; a failure on the way leaves the earlier folder as
// it was.
#ifndef SHEETKIT_OUTPUT_FOLDER_H_
#define SHEETKIT_OUTPUT_FOLDER_H_

#include <filesystem>
#include <string>
#include <vector>

namespace sheetkit {

/// The folder given with -o, checked before anything is read, written
/// into through begin() and put in place by commit().
class output_folder {
 public:
  /// Takes `path` (as given with -o) for a folder to write. Throws
  /// usage_error, saying what to do, when it is "" or "-" (standard
  /// output), a file or a link to nothing (or lies below one), or a folder
  /// that holds anything, unless `force`; and, since the folder is
  /// replaced, when it is the current folder or one of its parents, or
  /// holds one of `inputs` (the files the command reads). A link to a
  /// folder stands for that folder.
  output_folder(std::string path, bool force, const std::vector<std::string>& inputs = {});
  /// Removes the fresh folder unless it was committed.
  ~output_folder();
  output_folder(const output_folder&) = delete;
  output_folder& operator=(const output_folder&) = delete;

  /// The folder as given, for messages and the list of files written.
  const std::filesystem::path& path() const { return path_; }

  /// Makes the fresh, empty folder beside the final one (and any missing
  /// folders above them) and returns it: write every file into it. Throws
  /// sheetgen::error "Cannot create folder PATH!".
  std::filesystem::path begin();

  /// Puts the fresh folder in place of the final one, with the permissions
  /// of the one it replaces; the earlier folder is moved aside first and
  /// removed last. Throws sheetgen::error when that cannot be done, with
  /// the earlier folder back in place.
  void commit();

 private:
  std::filesystem::path path_;   // as given
  std::filesystem::path real_;   // absolute, links resolved
  std::filesystem::path fresh_;  // the folder written into; empty before begin() and after commit()
  bool force_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_OUTPUT_FOLDER_H_
