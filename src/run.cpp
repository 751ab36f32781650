#include <sheetgen/defect_file.h>
#include <sheetgen/generator.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/parameters.h>
#include <sheetgen/run.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <ostream>

#include "console.h"
#include "dialogue.h"
#include "output_file.h"

namespace sheetgen {

namespace {

const char* const banner =
    "This program generates problem instances of a two-dimensional rectangular Single Large "
    "Object Placement Problem with defects. \nAll dimensions of the generated item types are "
    "integer, thus the dimensions of the large object and the defects should also be entered as "
    "integer numbers. For more details see: the file README.md that comes with this program, "
    "which describes the dialogue and both file formats. \n \n";

// One buffer for both files, which are never open at once: large enough
// for the largest block in each of the halves that output_file fills and
// writes in turn, small enough to keep any run at a few MiB.
constexpr std::size_t buffer_size = std::size_t{5} << 19;
static_assert(MAXMOD * item_line_room + 1 <= output_file::largest_reservation(buffer_size));
static_assert(MAXDEF * defect_line_room + 1 <= output_file::largest_reservation(buffer_size));

// The one way a run stops early: the message as it is, one more answer
// read and ignored, status 1.
int abort_run(console& con, const char* message) {
  con.print(message);
  con.discard_answer();
  return 1;
}

// Passes progress on when someone listens, and says when generation has
// ended however it ends, so that a progress line is gone before the closing
// prompt or a message.
class progress_report {
 public:
  explicit progress_report(const progress_callback& progress) : progress_(progress) {}
  ~progress_report() {
    try {
      (*this)(run_progress::stage::finished, 0, 0, 0);
    } catch (...) {
    }
  }
  progress_report(const progress_report&) = delete;
  progress_report& operator=(const progress_report&) = delete;
  void operator()(run_progress::stage pass, int32_t done, int32_t total, int64_t lines) const {
    if (progress_) progress_(run_progress{pass, done, total, lines});
  }

 private:
  const progress_callback& progress_;
};

void write_files(const run_parameters& answers, const std::filesystem::path& folder,
                 const progress_callback& progress) {
  // Allocated before any file is touched, so that a lack of memory leaves
  // existing files alone.
  item_generator items(answers);
  const std::unique_ptr<char[]> memory(new char[buffer_size]);
  const std::span<char> buffer(memory.get(), buffer_size);
  const run_parameters& p = answers;
  const progress_report report(progress);
  {
    output_file instancefile(folder, p.filename, buffer);
    report(run_progress::stage::items, 0, p.no_instances, 0);
    int64_t lines = 0;
    while (items.next()) {
      const auto block = items.items();
      instancefile.commit(
          put_item_block(block, instancefile.reserve(block.size() * item_line_room + 1)));
      lines += static_cast<int64_t>(block.size());
      report(run_progress::stage::items, items.instances_done(), p.no_instances, lines);
    }
    instancefile.close();
  }
  if (p.no_defects < 1) return;
  // A link that pointed nowhere during the dialogue may lead to the
  // instances now; writing through it would replace them.
  if (same_file(folder, p.filename, p.defectfilename)) {
    throw error("The defect file must differ from the instance file!");
  }
  // The tables of the item pass go when the defect pass starts.
  defect_placer defects = std::move(items).defects();
  output_file defectfile(folder, p.defectfilename, buffer);
  report(run_progress::stage::defects, 0, p.no_instances, 0);
  int64_t lines = 0;
  while (defects.next()) {
    const auto block = defects.defects();
    defectfile.commit(
        put_defect_block(block, defectfile.reserve(block.size() * defect_line_room + 1)));
    lines += static_cast<int64_t>(block.size());
    report(run_progress::stage::defects, defects.instances_done(), p.no_instances, lines);
  }
  defectfile.close();
}

}  // namespace

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder) {
  return run(in, out, folder, progress_callback());
}

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress) {
  console con(in, out);
  try {
    try {
      con.print(banner);
      write_files(dialogue(con, folder), folder, progress);
      con.print("\n\nProgram run finished. Enter a number to quit! ");
      con.discard_answer();
      out.flush();
      return 0;
    } catch (const std::bad_alloc&) {
      return abort_run(con, "Not enough memory!");
    } catch (const error& e) {
      return abort_run(con, e.what());
    }
  } catch (...) {
    // Printing the message can fail too (memory again, a closed console);
    // the status still tells.
    return 1;
  }
}

namespace {

// Called where an allocation fails, before anything is thrown: throwing
// needs memory too, and without it the process would abort. Nothing here
// allocates. The files are not open at that point (every allocation of a
// run comes before or between them), so nothing is lost.
void out_of_memory() {
  try {
    std::cout.flush();
  } catch (...) {
  }
  std::fputs("Not enough memory!", stdout);
  std::fflush(stdout);
  // The one answer every abort reads, bounded like any other.
  try {
    std::streambuf* in = std::cin.rdbuf();
    int c = in->sbumpc();
    while (c != EOF && std::isspace(c)) c = in->sbumpc();
    for (int n = 0; n < 256 && c != EOF && !std::isspace(c); ++n) c = in->sbumpc();
  } catch (...) {
  }
  std::_Exit(1);
}

}  // namespace

int run_program() { return run_program(progress_callback()); }

int run_program(const progress_callback& progress) {
  std::set_new_handler(out_of_memory);
  std::ios::sync_with_stdio(false);
  return run(std::cin, std::cout, std::filesystem::path(), progress);
}

}  // namespace sheetgen
