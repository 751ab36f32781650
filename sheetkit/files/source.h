// Where sheetkit's commands get a run from: the answers file of the run
// (which names the files and knows everything sheetgen was asked), or an
// object size and the files themselves.
#ifndef SHEETKIT_SOURCE_H_
#define SHEETKIT_SOURCE_H_

#include <sheetgen/run_reader.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/instance.h"

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
// run_reader. A pipe gives its instances to one pass only: for commands
// that read a run once.
instance_pass file_pass(const run_info& run);

// The same pass, read on a thread of its own a little ahead of `visit`,
// which gets the same instances on the calling thread, in batches of
// bounded size: parsing the files takes one core, the caller's work on them
// another. An error of the pass reaches the caller after the instances
// before it; an error of `visit` stops the reading. Where no thread can be
// started, the pass runs as it is.
instance_pass read_ahead(instance_pass pass);

// A run's files for a command that reads them more than once (stats, draw).
// A regular file is opened anew for each pass. Anything else, a pipe such as
// bash's <(zcat run.gz) above all, can be read only once: the first pass
// reads it whole into memory, up to sizes::pipe bytes, before anything is
// visited, and every pass reads that copy. A larger one is refused with a
// message that says to save it to a file first.
class run_files {
 public:
  struct sizes {
    std::size_t pipe = std::size_t{16} << 20;  // most of a pipe held in memory
    uint64_t part = uint64_t{64} << 20;        // least of a file a part of a pass reads
  };

  // `instances`: the run's number of instances (from the answers), after
  // which every pass stops; negative: read to the files' end.
  explicit run_files(const run_info& run, int64_t instances = -1);
  run_files(const run_info& run, int64_t instances, sizes limits);
  run_files(const run_files&) = delete;  // its passes point to it
  run_files& operator=(const run_files&) = delete;

  // A pass over the instances; without `defects` the defect file is not
  // read and the instances have no defects. Valid while this object lives.
  instance_pass pass(bool defects = true);

  // Passes over up to `parts` parts of the run, which hold every instance
  // once between them, to be read at the same time (on as many cores), in
  // no particular order: in parts only when the instance file is regular and
  // large enough to gain by it, and then in the way of each kind of pass.
  //
  // The first pass: only without a defect file, which would have to be
  // split at the same instance. The parts know neither the instances' numbers
  // nor the lines where they start, and read to the file's end: read a run
  // in order for an error's line, and to stop after the run's number of
  // instances (and tell what follows).
  std::vector<instance_pass> first_parts(unsigned parts);
  // A later pass, over the item types alone (instances without defects):
  // only once a pass found the files' end after the instances read. Any
  // error here means that the file changed since.
  std::vector<instance_pass> item_parts(unsigned parts);

  // After a pass with defects that read the run's number of instances: what
  // the files hold beyond them (another block, or whatever is wrong after
  // them), as a sentence; empty when they end there.
  const std::string& beyond() const { return beyond_; }

 private:
  struct input {
    std::string name;
    bool pipe = false;
    std::string held;  // a pipe's bytes, read by the first pass
  };

  void read(const std::function<void(const instance&)>& visit, bool defects);
  // Byte ranges of the instance file that start where blocks start.
  std::vector<std::pair<uint64_t, uint64_t>> ranges(unsigned parts) const;
  void hold(input& in) const;
  std::unique_ptr<std::istream> open(const input& in) const;

  input items_;
  input defects_;
  int64_t limit_;
  sizes sizes_;
  bool held_ = false;
  bool looked_beyond_ = false;
  bool to_end_ = false;  // a pass with defects found that the files end after its instances
  std::string beyond_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_SOURCE_H_
