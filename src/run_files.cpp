#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/parameters.h>
#include <sheetgen/run_files.h>
#include <sheetgen/run_passes.h>

#include <algorithm>
#include <memory>
#include <span>

#include "instance_output.h"
#include "output_file.h"

namespace sheetgen {

namespace {

// One buffer for both files, which are never open at once: large enough
// for the largest defect block in each of the halves that output_file
// fills and writes in turn, and for a few thousand items in each of
// instance_output's two batches; small enough to keep any run at a few
// MiB. Derived from the capacity, so that raising MAXDEF still builds.
constexpr std::size_t largest_block = std::size_t{MAXDEF} * defect_line_room + 1;
constexpr std::size_t buffer_size = std::max(std::size_t{5} << 19, 2 * largest_block);
static_assert(largest_block <= output_file::largest_reservation(buffer_size));
static_assert(instance_output::batch_capacity(buffer_size) >= 4096);

void check_names(const std::filesystem::path& folder, const run_parameters& p) {
  check_file_name(p.filename);
  if (p.no_defects < 1) return;
  check_file_name(p.defectfilename);
  // The defect pass would otherwise overwrite the instances it follows.
  if (same_file(folder, p.filename, p.defectfilename)) {
    throw error("The defect file must differ from the instance file!");
  }
}

}  // namespace

void write_run_files(const run_parameters& answers, const std::filesystem::path& folder,
                     const progress_callback& progress) {
  // The checks and every allocation come before any file is touched, so
  // that a bad answer or a lack of memory leaves existing files alone.
  run_passes passes(answers, progress);
  const run_parameters& p = passes.parameters();
  check_names(folder, p);
  const std::unique_ptr<char[]> memory(new char[buffer_size]);
  const std::span<char> buffer(memory.get(), buffer_size);
  {
    instance_output instancefile(folder, p.filename, buffer);
    passes.items([&](int32_t, std::span<const rectangle> block) {
      instancefile.add_block(block);
      return true;
    });
    instancefile.close();
  }
  if (p.no_defects < 1) return;
  // A link that pointed nowhere when the names were checked may lead to
  // the instances now; writing through it would replace them.
  if (same_file(folder, p.filename, p.defectfilename)) {
    throw error("The defect file must differ from the instance file!");
  }
  passes.finish_items();  // its table before the file, in case memory is short
  output_file defectfile(folder, p.defectfilename, buffer);
  passes.defects([&](int32_t, std::span<const placed_defect> block) {
    defectfile.commit(
        put_defect_block(block, defectfile.reserve(block.size() * defect_line_room + 1)));
    return true;
  });
  defectfile.close();
}

}  // namespace sheetgen
