#include <sheetgen/run_passes.h>

#include <stdexcept>
#include <utility>

namespace sheetgen {

run_passes::run_passes(run_parameters p, progress_callback progress)
    : progress_(std::move(progress)), items_(std::in_place, std::move(p)) {
  p_ = items_->parameters();
}

run_passes::~run_passes() {
  try {
    if (progress_) progress_(pass_progress{});
  } catch (...) {
  }
}

void run_passes::report(const char* pass, int64_t done, int64_t units, const char* unit) const {
  if (progress_) progress_(pass_progress{pass, done, p_.no_instances, units, unit});
}

void run_passes::items(const item_visitor& visit) {
  if (!items_) throw std::logic_error("run_passes::items after the defect pass");
  report("items", 0, 0, "items");
  int64_t lines = 0;
  while (items_->next()) {
    const auto block = items_->items();
    const int32_t done = items_->instances_done();
    const bool more = visit(done, block);
    lines += static_cast<int64_t>(block.size());
    report("items", done, lines, "items");
    if (!more) return;
  }
}

void run_passes::finish_items() {
  if (!items_) return;
  defects_.emplace(std::move(*items_).defects());
  items_.reset();
}

void run_passes::defects(const defect_visitor& visit) {
  finish_items();
  if (!defects_) throw std::logic_error("run_passes::defects twice");
  defect_placer& placer = *defects_;
  report("defects", 0, 0, "defects");
  int64_t lines = 0;
  while (placer.next()) {
    const auto block = placer.defects();
    const bool more = visit(placer.instances_done(), block);
    lines += static_cast<int64_t>(block.size());
    report("defects", placer.instances_done(), lines, "defects");
    if (!more) break;
  }
  defects_.reset();
}

}  // namespace sheetgen
