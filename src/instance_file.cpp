#include "sheetgen/instance_file.h"

#include "line_reader.h"

namespace sheetgen {

namespace {
constexpr line_format item_lines{3, MAXMOD, "item"};
}  // namespace

instance_reader::instance_reader(std::istream& in, std::string name)
    : lines_(std::make_unique<line_reader>(in, std::move(name), item_lines)) {}

instance_reader::~instance_reader() = default;
instance_reader::instance_reader(instance_reader&&) noexcept = default;
instance_reader& instance_reader::operator=(instance_reader&&) noexcept = default;

bool instance_reader::next(std::vector<rectangle>& items) {
  items.clear();
  int32_t n[3];
  line_reader::result r;
  while ((r = lines_->next(n)) == line_reader::result::numbers) {
    items.push_back({.area = n[2], .length = n[0], .width = n[1]});
  }
  return r == line_reader::result::block_end;
}

int64_t instance_reader::block_line() const { return lines_->block_line(); }

}  // namespace sheetgen
