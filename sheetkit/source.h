// Where sheetkit's commands get a run from: the answers file of the run
// (which names the files and knows everything sheetgen was asked), or an
// object size and the files themselves.
#ifndef SHEETKIT_SOURCE_H_
#define SHEETKIT_SOURCE_H_

#include <sheetgen/run_reader.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <utility>

#include "instance.h"

namespace sheetkit {

// Reads an answers file as sheetgen reads its standard input, with the
// dialogue's own checks; the file names in it are taken relative to the
// current folder. Throws sheetgen::error "Cannot read file NAME!" or, for a
// bad answer, "NAME:LINE: QUESTION: the dialogue's message".
run_info run_from_answers(const std::string& answers_file);

// The dialogue's answers from `in`, read silently, file names taken
// relative to `folder`; a bad answer throws sheetgen::answer_error, which
// tells the question.
sheetgen::run_parameters read_answers_quietly(std::istream& in,
                                              const std::filesystem::path& folder = {});

// "LENGTHxWIDTH" (positive integers without leading zeros, a lower-case x,
// product at most 2147483647) as an object; throws sheetgen::error saying
// what is wrong.
rectangle parse_object(std::string_view text);

// A run known only by its object and files; `defect_file` may be empty.
run_info run_from_object(rectangle object, std::string instance_file, std::string defect_file);

// The library's run_reader, filling sheetkit's instance: its number and
// the lines where its blocks start. Throws what that one throws.
class run_reader {
 public:
  // `defects` may be null: no defect file.
  run_reader(std::istream& instances, std::string instance_name, std::istream* defects,
             std::string defect_name)
      : reader_(instances, std::move(instance_name), defects, std::move(defect_name)) {}

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

// A pass that opens the run's files anew each time and reads them with a
// run_reader.
instance_pass file_pass(const run_info& run);

}  // namespace sheetkit

#endif  // SHEETKIT_SOURCE_H_
