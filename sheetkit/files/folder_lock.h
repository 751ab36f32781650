// A lock that one process holds on a folder while it changes it, so that
// two commands started at once into the same folder do not undo each
// other's work. It is a file in the folder, locked with the OS's advisory
// lock (flock): the OS lets go of it when the process ends however it
// ends, so a lock left by a killed process is taken over at once.
#ifndef SHEETKIT_FOLDER_LOCK_H_
#define SHEETKIT_FOLDER_LOCK_H_

#include <filesystem>
#include <optional>

namespace sheetkit {

/// The lock file `path`, held from take() until destroyed. Exclusive, or
/// shared with other holders of a shared lock on the same file. The file
/// holds the process id of the latest holder and goes when the last
/// holder lets go.
class folder_lock {
 public:
  /// What take() found when another process holds the lock.
  struct taken {
    long pid = 0;  ///< of a holder, as it wrote it; 0 when not known
  };

  /// Takes the lock `path` (creating the file) without waiting. Returns the
  /// lock, or sets `held_by` and returns nothing when another process holds
  /// it (exclusively, or shared when `shared` is false). Throws
  /// sheetgen::error with the OS's reason when the file cannot be made.
  static std::optional<folder_lock> take(const std::filesystem::path& path, bool shared,
                                         taken& held_by);

  folder_lock(folder_lock&& other) noexcept;
  folder_lock& operator=(folder_lock&&) = delete;
  folder_lock(const folder_lock&) = delete;
  folder_lock& operator=(const folder_lock&) = delete;
  /// Removes the file when no other process holds it, and lets go.
  ~folder_lock();

 private:
  folder_lock(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}

  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace sheetkit

#endif  // SHEETKIT_FOLDER_LOCK_H_
