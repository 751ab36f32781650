// A folder of files that a command writes (draw's pictures, export's
// instance folders), held to one rule: the folder appears under its name
// only when every file in it is written, and never mixes with what was
// there before. Its files are written into a fresh folder beside it, which
// then takes its place; a failure on the way leaves the earlier folder as
// it was. Every such folder holds a small file, .sheetkit, that lists the
// names the command writes: --force replaces only a folder that holds
// nothing else, so that it never deletes a file sheetkit did not write.
#ifndef SHEETKIT_OUTPUT_FOLDER_H_
#define SHEETKIT_OUTPUT_FOLDER_H_

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace sheetkit {

/// The folder given with -o cannot be written as asked; the message says
/// what to change. The command line reports it as wrong usage.
struct folder_refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The file that marks a folder as sheetkit's and lists what it writes there.
inline constexpr const char* folder_marker = ".sheetkit";

/// The folder given with -o, checked before anything is read, written
/// into through begin() and put in place by commit().
class output_folder {
 public:
  /// Takes `path` (as given with -o) for a folder to write the files named
  /// by `names` into: patterns of paths relative to it, in which "#" stands
  /// for a number ("instance_#.svg", "instance_#/items.csv"). Throws
  /// folder_refused, saying what to do, when it is "" or "-" (standard
  /// output), a file or a link to nothing (or lies below one), or a folder
  /// that holds anything, unless `force`; with `force`, when it holds a
  /// file that its .sheetkit file does not name (or has none), naming one
  /// such file; and, since the folder is replaced, when it is the current
  /// folder or one of its parents, or holds one of `inputs` (the files the
  /// command reads). A link to a folder stands for that folder.
  output_folder(std::string path, bool force, const std::vector<std::string>& inputs = {},
                std::vector<std::string> names = {});
  /// Removes the fresh folder unless it was committed.
  ~output_folder();
  output_folder(const output_folder&) = delete;
  output_folder& operator=(const output_folder&) = delete;

  /// The folder as given, for messages and the list of files written.
  const std::filesystem::path& path() const { return path_; }

  /// Makes the fresh folder beside the final one (and any missing folders
  /// above them), with its .sheetkit file, and returns it: write every file
  /// into it. Throws file_error "PATH: cannot be created: REASON".
  std::filesystem::path begin();

  /// Puts the fresh folder in place of the final one, with the permissions
  /// of the one it replaces; the earlier folder is moved aside first and
  /// removed last. Throws sheetgen::error when that cannot be done, or when
  /// what stands at the name now is no longer what the check allowed, with
  /// the earlier folder back in place.
  void commit();

 private:
  std::filesystem::path path_;   // as given
  std::filesystem::path real_;   // absolute, links resolved
  std::filesystem::path fresh_;  // the folder written into; empty before begin() and after commit()
  bool force_;
  std::vector<std::string> names_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_OUTPUT_FOLDER_H_
