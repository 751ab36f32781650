#include "sheetgen/defect_file.h"

#include "line_reader.h"

namespace sheetgen {

namespace {
constexpr line_format defect_lines{4, MAXDEF, "defect"};
}  // namespace

defect_reader::defect_reader(std::istream& in, std::string name)
    : lines_(std::make_unique<line_reader>(in, std::move(name), defect_lines)) {}

defect_reader::~defect_reader() = default;
defect_reader::defect_reader(defect_reader&&) noexcept = default;
defect_reader& defect_reader::operator=(defect_reader&&) noexcept = default;

bool defect_reader::next(std::vector<placed_defect>& defects) {
  defects.clear();
  int32_t n[4];
  line_reader::result r;
  while ((r = lines_->next(n)) == line_reader::result::numbers) {
    defects.push_back({.x1 = n[0], .y1 = n[1], .x2 = n[2], .y2 = n[3]});
  }
  return r == line_reader::result::block_end;
}

int64_t defect_reader::block_line() const { return lines_->block_line(); }

}  // namespace sheetgen
