#include "sheetgen/instance_file.h"

#include "line_reader.h"
#include "number_format.h"

namespace sheetgen {

namespace {
constexpr line_format item_lines{3, MAXMOD, "item"};
}  // namespace

instance_reader::instance_reader(std::istream& in, std::string name)
    : lines_(std::make_unique<line_reader<rectangle>>(in, std::move(name), item_lines)) {}

instance_reader::instance_reader(const std::filesystem::path& file, std::string name)
    : lines_(std::make_unique<line_reader<rectangle>>(file, std::move(name), item_lines)) {}

instance_reader::~instance_reader() = default;
instance_reader::instance_reader(instance_reader&&) noexcept = default;
instance_reader& instance_reader::operator=(instance_reader&&) noexcept = default;

bool instance_reader::next(std::vector<rectangle>& items) { return lines_->next_block(items); }

int64_t instance_reader::block_line() const { return lines_->block_line(); }

static_assert(item_line_room == 3 * number_format::max_chars);

char* put_item_block(std::span<const rectangle> items, char* out) {
  for (const rectangle& r : items) {
    out = number_format::put_number(out, r.length) + 1;
    out = number_format::put_number(out, r.width) + 1;
    out = number_format::put_number(out, r.area);
    *out++ = '\n';
  }
  *out++ = '\n';
  return out;
}

void append_item_block(std::span<const rectangle> items, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + items.size() * item_line_room + 1);
  out.resize(static_cast<std::size_t>(put_item_block(items, out.data() + start) - out.data()));
}

}  // namespace sheetgen
