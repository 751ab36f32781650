#include "output_file.h"

#include <sheetgen/types.h>

#include <cerrno>
#include <system_error>

#include "worker.h"

namespace sheetgen {

std::FILE* open_unbuffered(const std::filesystem::path& folder, const std::string& name) {
  const std::filesystem::path path = folder / name;
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file != nullptr) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

output_file::output_file(const std::filesystem::path& folder, const std::string& name,
                         std::span<char> buffer)
    : name_(name), buffer_(buffer), filling_(buffer) {
  try {
    writer_ = std::make_unique<worker>();
    filling_ = buffer_.first(largest_reservation(buffer_.size()));
  } catch (const std::system_error&) {
    // No thread to be had (too little address space for its stack, say):
    // generating and writing take turns, as they always could.
  }
  file_ = open_unbuffered(folder, name);
  if (file_ == nullptr) fail(errno);
}

output_file::~output_file() {
  if (file_ == nullptr) return;
  if (writer_ != nullptr) writer_->finish();
  if (!write_failed_ && used_ > 0) std::fwrite(filling_.data(), 1, used_, file_);
  writer_.reset();
  std::fclose(file_);
}

void output_file::hand_over(std::size_t needed) {
  if (writer_ == nullptr) {
    if (used_ > 0 && std::fwrite(filling_.data(), 1, used_, file_) != used_) fail(errno);
    used_ = 0;
    return;
  }
  writer_->finish();
  if (write_failed_) fail(failed_errno_);
  const bool whole = filling_.size() == buffer_.size();
  if (used_ > 0) {
    piece_ = filling_.first(used_);
    writer_->start(&write_piece, this);
  }
  used_ = 0;
  const std::size_t half = largest_reservation(buffer_.size());
  if (needed > half || whole) {
    // A reservation larger than a half (a buffer too small for the
    // caller's largest block) takes all of it, and after it all of it may
    // be on its way to the file: wait, at the cost of the overlap.
    writer_->finish();
    if (write_failed_) fail(failed_errno_);
    filling_ = needed > half ? buffer_ : buffer_.first(half);
    return;
  }
  filling_ = filling_.data() == buffer_.data() ? buffer_.subspan(half, half) : buffer_.first(half);
}

// On the writing thread. After a failure nothing more is written, so that
// the file keeps exactly what went through before it.
void output_file::write_piece(void* self) {
  auto& out = *static_cast<output_file*>(self);
  if (out.write_failed_) return;
  if (std::fwrite(out.piece_.data(), 1, out.piece_.size(), out.file_) != out.piece_.size()) {
    out.failed_errno_ = errno;  // errno is the thread's own
    out.write_failed_ = true;
  }
}

void output_file::close() {
  hand_over(0);
  if (writer_ != nullptr) {
    writer_->finish();
    if (write_failed_) fail(failed_errno_);
    writer_.reset();
  }
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) fail(errno);
}

void output_file::fail(int reason) {
  // Whatever is buffered could not be written either; do not retry it.
  used_ = 0;
  throw write_error(name_, std::error_code(reason, std::generic_category()));
}

}  // namespace sheetgen
