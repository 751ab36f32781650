#include <sheetgen/run_reader.h>

#include <utility>

namespace sheetgen {

run_reader::run_reader(std::istream& instances, std::string instance_name, std::istream* defects,
                       std::string defect_name)
    : items_(instances, instance_name),
      instance_name_(std::move(instance_name)),
      defect_name_(std::move(defect_name)) {
  if (defects != nullptr) defects_.emplace(*defects, defect_name_);
}

run_reader::run_reader(const std::filesystem::path& instances, std::string instance_name,
                       const std::filesystem::path& defects, std::string defect_name)
    : items_(instances, instance_name),
      instance_name_(std::move(instance_name)),
      defect_name_(std::move(defect_name)) {
  if (!defects.empty()) defects_.emplace(defects, defect_name_);
}

run_reader::run_reader(instance_reader instances, std::string instance_name,
                       std::optional<defect_reader> defects, std::string defect_name)
    : items_(std::move(instances)),
      defects_(std::move(defects)),
      instance_name_(std::move(instance_name)),
      defect_name_(std::move(defect_name)) {}

bool run_reader::next(std::vector<rectangle>& items, std::vector<placed_defect>& defects) {
  const bool more_items = items_.next(items);
  bool more_defects = false;
  if (defects_) {
    more_defects = defects_->next(defects);
  } else {
    defects.clear();
  }
  // Named where the shorter file ends: a run stopped while it wrote the
  // defects leaves all the instances and some of the defects.
  if (defects_ && more_items != more_defects) {
    const bool instances_end = !more_items;
    const std::string& ended = instances_end ? instance_name_ : defect_name_;
    const std::string& other = instances_end ? defect_name_ : instance_name_;
    const int64_t end_line = instances_end ? item_end_ : defect_end_;
    const int64_t other_line = instances_end ? defects_->block_line() : items_.block_line();
    throw error(ended + ":" + std::to_string(end_line) + ": file ends after " +
                std::to_string(count_) + (count_ == 1 ? " block" : " blocks") + ", but " + other +
                " has more (block " + std::to_string(count_ + 1) + " starts on its line " +
                std::to_string(other_line) + ")");
  }
  if (!more_items) return false;
  ++count_;
  item_line_ = items_.block_line();
  item_end_ = item_line_ + static_cast<int64_t>(items.size()) + 1;
  if (defects_) {
    defect_line_ = defects_->block_line();
    defect_end_ = defect_line_ + static_cast<int64_t>(defects.size()) + 1;
  }
  return true;
}

}  // namespace sheetgen
