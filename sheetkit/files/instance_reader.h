// Instances as sheetkit's commands read them from a run's two files: the
// library's reader, with each instance's number and the lines where its
// blocks start.
#ifndef SHEETKIT_INSTANCE_READER_H_
#define SHEETKIT_INSTANCE_READER_H_

#include <sheetgen/run_reader.h>

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <utility>

#include "files/instance.h"

namespace sheetkit {

// The library's reader of a file opened by name (mapped where it is a
// regular file); a file that cannot be opened throws file_error "NAME:
// cannot be read: REASON", as open_input says it.
sheetgen::instance_reader open_items(const std::string& name);
sheetgen::defect_reader open_defects(const std::string& name);

// The library's run_reader, filling sheetkit's instance: its number and
// the lines where its blocks start. Throws what that one throws.
class instance_reader {
 public:
  // `defects` may be null: no defect file.
  instance_reader(std::istream& instances, std::string instance_name, std::istream* defects,
                  std::string defect_name)
      : reader_(instances, std::move(instance_name), defects, std::move(defect_name)) {}
  // The files by name (the faster way: a regular file is mapped); an empty
  // `defect_name`: no defect file. Throws file_error "NAME: cannot be
  // read: REASON" as open_input does.
  instance_reader(const std::string& instance_name, const std::string& defect_name);
  instance_reader(sheetgen::instance_reader items, std::string instance_name,
                  std::optional<sheetgen::defect_reader> defects, std::string defect_name)
      : reader_(std::move(items), std::move(instance_name), std::move(defects),
                std::move(defect_name)) {}

  // The next instance into `out` (its vectors' capacity is reused); false
  // after the last one.
  bool next(instance& out);

  // Instances read completely so far.
  int64_t instances() const { return reader_.instances(); }
  // The line after the last block read, where the next one would start.
  int64_t item_end_line() const { return reader_.item_end_line(); }
  int64_t defect_end_line() const { return reader_.defect_end_line(); }

 private:
  sheetgen::run_reader reader_;
};

// A pass that opens the run's files anew each time and reads them with an
// instance_reader; with a value file (a family run's), each instance's
// values too, which must hold to its item types (else sheetgen::error). A
// pipe gives its instances to one pass only: for commands that read a run
// once.
instance_pass file_pass(const run_info& run);

}  // namespace sheetkit

#endif  // SHEETKIT_INSTANCE_READER_H_
