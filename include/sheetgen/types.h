/// \file
/// The values every part of sheetgen shares: capacities, rectangles, the
/// answers of a run, and the one error type.
#ifndef SHEETGEN_TYPES_H_
#define SHEETGEN_TYPES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace sheetgen {

/// Most item types per instance and most instances per run.
constexpr int32_t MAXMOD = 20000;
/// Most defects per instance.
constexpr int32_t MAXDEF = 1000;
/// Longest file name, in characters.
constexpr std::size_t MAXNAME = 79;

/// An integer rectangle; `length` runs along the large object's length,
/// `width` along its width. Nothing is ever rotated.
///
/// The area comes first in memory, while the files write length, width,
/// area: make one with `rectangle::of(length, width)` or with names,
/// `{.area = 6, .length = 3, .width = 2}`, never by position.
struct rectangle {
  int32_t area = 0;    ///< length x width
  int32_t length = 0;  ///< along the large object's length
  int32_t width = 0;   ///< along the large object's width

  /// The rectangle `length` x `width` with its area; the product must fit
  /// 32 bits.
  static constexpr rectangle of(int32_t length, int32_t width) {
    return {.area = length * width, .length = length, .width = width};
  }

  /// Equal when all three fields are.
  friend bool operator==(const rectangle&, const rectangle&) = default;
};

/// A defect at its place on the object: (x1, y1) is the corner nearest the
/// object's origin, (x2, y2) the opposite one; x runs along the length.
struct placed_defect {
  int32_t x1 = 0;  ///< distance from the origin along the length
  int32_t y1 = 0;  ///< distance from the origin along the width
  int32_t x2 = 0;  ///< x1 + the defect's length
  int32_t y2 = 0;  ///< y1 + the defect's width

  /// Equal when all four corners' coordinates are.
  friend bool operator==(const placed_defect&, const placed_defect&) = default;
};

/// The answers of one run and the area bounds derived from them.
struct run_parameters {
  int32_t no_instances = 0;                 ///< instances to generate
  rectangle object;                         ///< the large object
  int32_t no_items = 0;                     ///< item types per instance
  float minrelsize = 0;                     ///< lower bound of item area / object area
  float maxrelsize = 0;                     ///< upper bound of item area / object area
  int32_t minarea = 0;                      ///< smallest admissible item area
  int32_t maxarea = 0;                      ///< largest admissible item area
  int32_t no_defects = 0;                   ///< defects per instance
  std::array<rectangle, MAXDEF> defects{};  ///< defect sizes, in the order entered
  std::string filename;                     ///< the instance file
  std::string defectfilename;               ///< the defect file; used when no_defects >= 1
  int32_t seed = 0;                         ///< the generator's seed
};

/// The one error type of sheetgen: `what()` is the message meant for the
/// user, exactly as the program prints it.
class error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// "NAME: WHAT: REASON", the one form of every message on a file or folder
/// that the operating system refused: `what` says what failed ("cannot be
/// read", "cannot be written", "cannot be created"), REASON is `reason`'s
/// message, or "the system gave no reason" where `reason` is empty.
inline std::string file_message(std::string_view name, std::string_view what,
                                std::error_code reason) {
  std::string text(name);
  text += ": ";
  text += what;
  text += ": ";
  text += reason ? reason.message() : std::string("the system gave no reason");
  return text;
}

/// An `error` that the operating system gave on a file or folder (a
/// missing file, EIO from a failing disk, a full disk): `what()` is
/// file_message's "NAME: WHAT: REASON", and `file()` and `code()` give the
/// name and the reason apart, for callers that report OS errors in a form
/// of their own (Python's OSError).
class file_error : public error {
 public:
  /// "FILE: cannot be read: REASON", REASON being `code`'s message.
  file_error(std::string file, std::error_code code)
      : file_error(std::move(file), "cannot be read", code) {}
  /// "FILE: WHAT: REASON": `what` says what failed, "cannot be written".
  file_error(std::string file, std::string_view what, std::error_code code)
      : error(file_message(file, what, code)), file_(std::move(file)), code_(code) {}

  /// The file's name, as the reader was given it.
  const std::string& file() const noexcept { return file_; }
  /// The reason, an errno value in the generic category where the OS gave one.
  std::error_code code() const noexcept { return code_; }

 private:
  std::string file_;
  std::error_code code_;
};

/// An `error` in writing one of the run's files: `what()` is exactly the
/// dialogue's "Cannot write file NAME!", which says nothing of why; `code()`
/// is the operating system's reason (a missing folder, a full disk), for a
/// second line that the console text has no room for.
class write_error : public error {
 public:
  /// `code` is the OS's reason, or empty where it gave none.
  write_error(std::string file, std::error_code code)
      : error("Cannot write file " + file + "!"), file_(std::move(file)), code_(code) {}

  /// The file's name, as the answers gave it.
  const std::string& file() const noexcept { return file_; }
  /// The reason, an errno value in the generic category; empty (0) where
  /// the OS gave none.
  std::error_code code() const noexcept { return code_; }
  /// "FILE: cannot be written: REASON", REASON being `code`'s message, or
  /// "the system gave no reason".
  std::string reason() const { return file_message(file_, "cannot be written", code_); }

 private:
  std::string file_;
  std::error_code code_;
};

}  // namespace sheetgen

#endif  // SHEETGEN_TYPES_H_
