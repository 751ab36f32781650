#include "sheetgen/defect_file.h"

#include "line_reader.h"
#include "number_format.h"

namespace sheetgen {

namespace {
constexpr line_format defect_lines{4, MAXDEF, "defect"};
}  // namespace

defect_reader::defect_reader(std::istream& in, std::string name)
    : lines_(std::make_unique<line_reader<placed_defect>>(in, std::move(name), defect_lines)) {}

defect_reader::defect_reader(const std::filesystem::path& file, std::string name)
    : lines_(std::make_unique<line_reader<placed_defect>>(file, std::move(name), defect_lines)) {}

defect_reader::~defect_reader() = default;
defect_reader::defect_reader(defect_reader&&) noexcept = default;
defect_reader& defect_reader::operator=(defect_reader&&) noexcept = default;

bool defect_reader::next(std::vector<placed_defect>& defects) {
  return lines_->next_block(defects);
}

int64_t defect_reader::block_line() const { return lines_->block_line(); }

static_assert(defect_line_room == 4 * number_format::max_chars);

char* put_defect_block(std::span<const placed_defect> defects, char* out) {
  for (const placed_defect& d : defects) {
    out = number_format::put_number(out, d.x1) + 1;
    out = number_format::put_number(out, d.y1) + 1;
    out = number_format::put_number(out, d.x2) + 1;
    out = number_format::put_number(out, d.y2);
    *out++ = '\n';
  }
  *out++ = '\n';
  return out;
}

void append_defect_block(std::span<const placed_defect> defects, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + defects.size() * defect_line_room + 1);
  out.resize(static_cast<std::size_t>(put_defect_block(defects, out.data() + start) - out.data()));
}

}  // namespace sheetgen
