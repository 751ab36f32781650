#include "output_file.h"

#include <charconv>
#include <cstring>

#include "sheetgen.h"

namespace sheetgen {

namespace {
// Large enough for few write calls and for the largest block of items,
// small enough to keep the resident memory of any run at a few MiB.
constexpr std::size_t buffer_size = output_file::max_reserve;
}  // namespace

output_file::output_file(const std::filesystem::path& folder, const std::string& name)
    : name_(name), buffer_(new char[buffer_size]), capacity_(buffer_size) {
  const std::filesystem::path path = folder / name;
  // Text mode, so that line ends are the platform's own.
  file_ = std::fopen(path.string().c_str(), "w");
  if (file_ == nullptr) fail();
  // The stream's own buffer would hide write errors until the close.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

// Reached only when the run aborts: what is buffered holds whole finished
// blocks, which stay in the file as they would after an exit.
output_file::~output_file() {
  if (file_ == nullptr) return;
  if (used_ > 0) std::fwrite(buffer_.get(), 1, used_, file_);
  std::fclose(file_);
}

char* output_file::put_wide_number(char* out, int64_t value) {
  out = std::to_chars(out, out + 20, value).ptr;
  std::memcpy(out, ".000000\t", 8);
  return out + 7;
}

void output_file::flush() {
  if (used_ > 0 && std::fwrite(buffer_.get(), 1, used_, file_) != used_) fail();
  used_ = 0;
}

void output_file::close() {
  flush();
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) fail();
}

void output_file::fail() {
  // Whatever is buffered could not be written either; do not retry it.
  used_ = 0;
  abort_run("Cannot write file " + name_ + "!");
}

}  // namespace sheetgen
