#include "output_file.h"

#include <sheetgen/types.h>

namespace sheetgen {

output_file::output_file(const std::filesystem::path& folder, const std::string& name,
                         std::span<char> buffer)
    : name_(name), buffer_(buffer) {
  const std::filesystem::path path = folder / name;
  file_ = std::fopen(path.string().c_str(), "wb");
  if (file_ == nullptr) fail();
  // The stream's own buffer would hide write errors until the close.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

// Reached only when the run aborts: what is buffered holds whole finished
// blocks, which stay in the file as they would after an exit.
output_file::~output_file() {
  if (file_ == nullptr) return;
  if (used_ > 0) std::fwrite(buffer_.data(), 1, used_, file_);
  std::fclose(file_);
}

void output_file::flush() {
  if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) fail();
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
  throw error("Cannot write file " + name_ + "!");
}

}  // namespace sheetgen
