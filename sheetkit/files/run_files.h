// A run's files read more than once, pipes included, and in parts.
#ifndef SHEETKIT_RUN_FILES_H_
#define SHEETKIT_RUN_FILES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "files/block_ranges.h"
#include "files/instance.h"

namespace sheetkit {

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
  std::vector<byte_range> ranges(unsigned parts) const;
  void hold(input& in) const;
  std::unique_ptr<std::istream> open(const input& in) const;  // a pipe's bytes held

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

#endif  // SHEETKIT_RUN_FILES_H_
