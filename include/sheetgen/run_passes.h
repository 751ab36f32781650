/// \file
/// A run's two passes, for every program that needs them: each instance's
/// item block in order, then each instance's defect block, with progress.
/// Writing the files, verifying them and handing instances to other code
/// all go through this one loop.
#ifndef SHEETGEN_RUN_PASSES_H_
#define SHEETGEN_RUN_PASSES_H_

#include <sheetgen/generator.h>
#include <sheetgen/progress.h>
#include <sheetgen/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace sheetgen {

/// Receives one instance's item types (instances numbered from 1); returns
/// false to end the pass there.
using item_visitor = std::function<bool(int32_t instance, std::span<const rectangle> items)>;
/// Receives one instance's defects, in the order entered; returns false to
/// end the pass there.
using defect_visitor =
    std::function<bool(int32_t instance, std::span<const placed_defect> defects)>;

/// One run, generated pass by pass. Not copyable; separate objects share
/// nothing, so separate runs may go on in separate threads.
class run_passes {
 public:
  /// Checks `p` as the dialogue does (throws `error` with its message) and
  /// allocates the item pass's tables, all before the first block: a caller
  /// that opens files afterwards leaves them alone when this fails.
  /// `progress` hears of each pass as "items" and "defects" (unit "items",
  /// "defects": lines of the files), and of the end when this object goes.
  explicit run_passes(run_parameters p, progress_callback progress = {});
  /// Reports the end of the work to the progress callback.
  ~run_passes();
  run_passes(const run_passes&) = delete;
  run_passes& operator=(const run_passes&) = delete;

  /// The answers, with the area bounds derived.
  const run_parameters& parameters() const { return p_; }

  /// Hands each instance's item types to `visit`, in order. Throws `error`
  /// (sheetgen's repair failure) when an item cannot be given admissible
  /// integer dimensions: the blocks before the failing instance have been
  /// visited, that instance's has not, and no defect pass can follow.
  void items(const item_visitor& visit);

  /// Ends the item pass and readies the defect pass: generates the items
  /// not visited yet (the defects' draws follow theirs), which throws where
  /// items() would, then swaps the item tables for the defect table.
  /// defects() does this itself; call it first to have its failures (the
  /// repair failure, a lack of memory) before anything else, such as
  /// creating a file.
  void finish_items();

  /// Then hands each instance's defects to `visit`, in order. Only once.
  void defects(const defect_visitor& visit);

 private:
  void report(const char* pass, int64_t done, int64_t units, const char* unit) const;

  run_parameters p_;  // a copy: the item generator's own goes with it
  progress_callback progress_;
  std::optional<item_generator> items_;   // until the item pass ends
  std::optional<defect_placer> defects_;  // from then on
};

}  // namespace sheetgen

#endif  // SHEETGEN_RUN_PASSES_H_
