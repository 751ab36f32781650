// Solution files of every form sheetkit reads, told apart by their header
// line: PackingSolver's rectangle and rectangleguillotine certificates
// (one instance each) and our own placement CSV (one instance or a whole
// run). Strict as the instance readers: CR LF line ends and a UTF-8 byte
// order mark are accepted, anything else is `FILE:LINE: what is wrong`.
#ifndef SHEETKIT_SOLUTION_READER_H_
#define SHEETKIT_SOLUTION_READER_H_

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "solutions/placement.h"

namespace sheetkit {

/// The header line of each form.
constexpr const char* rectangle_header = "TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID";
constexpr const char* guillotine_header =
    "PLATE_ID,COPIES,NODE_ID,X,Y,WIDTH,HEIGHT,TYPE,CUT,PARENT";
constexpr const char* placements_header = "instance,item_type,x,y,rotated";

/// Reads one solution file an instance at a time, so that memory holds one
/// instance's placements. Throws sheetgen::error "FILE:LINE: what is
/// wrong" for anything it refuses, and never reads past an error.
class solution_reader {
 public:
  /// Reads the header from `in` (named `name` in messages).
  solution_reader(std::istream& in, std::string name);
  ~solution_reader();
  solution_reader(const solution_reader&) = delete;
  solution_reader& operator=(const solution_reader&) = delete;

  /// The file's form, known from its header.
  solution_format format() const;

  /// The next instance's solution into `out`; false after the last. A
  /// certificate gives one; a placement CSV one per instance that has rows,
  /// in increasing instance order.
  bool next(solution& out);

 private:
  struct state;
  std::unique_ptr<state> state_;
};

/// Every solution in `file` (see solution_reader). Throws sheetgen::error
/// "FILE:LINE: what is wrong", or "FILE: cannot be read: REASON" when it
/// cannot be opened or read.
std::vector<solution> read_solution(const std::filesystem::path& file);

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_READER_H_
