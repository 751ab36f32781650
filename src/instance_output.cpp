#include "instance_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "output_file.h"
#include "worker.h"

namespace sheetgen {

void instance_output::batch::format() {
  char* out = text;
  std::size_t k = 0;
  for (std::size_t e = 0; e < ends; ++e) {
    out = put_item_block({item + k, item + block_end[e]}, out);
    k = block_end[e];
  }
  // The rest of a block that goes on in the next batch: no empty line yet.
  if (k < items) out = put_item_block({item + k, item + items}, out) - 1;
  text_size = static_cast<std::size_t>(out - text);
  formatted = true;
}

instance_output::instance_output(const std::filesystem::path& folder, const std::string& name,
                                 std::span<char> buffer)
    : name_(name), capacity_(batch_capacity(buffer.size())), filling_(&batches_[0]) {
  if (capacity_ == 0 || reinterpret_cast<std::uintptr_t>(buffer.data()) % alignof(rectangle) != 0) {
    throw std::logic_error("instance_output: buffer too small or misaligned");
  }
  // Half of the buffer each; rectangles first, on a boundary they need.
  const std::size_t half = buffer.size() / 2 / alignof(rectangle) * alignof(rectangle);
  for (int k = 0; k < 2; ++k) {
    char* start = buffer.data() + k * half;
    batch& b = batches_[k];
    b.item = reinterpret_cast<rectangle*>(start);
    b.block_end = reinterpret_cast<uint32_t*>(start + capacity_ * sizeof(rectangle));
    b.text = start + capacity_ * (sizeof(rectangle) + sizeof(uint32_t));
  }
  try {
    writer_ = std::make_unique<worker>();
  } catch (const std::system_error&) {
    // No thread to be had: formatting and writing take turns with drawing.
  }
  file_ = open_unbuffered(folder, name);
  if (file_ == nullptr) fail(errno);
}

instance_output::~instance_output() {
  if (file_ == nullptr) return;
  if (writer_ != nullptr) writer_->finish();
  if (!write_failed_ && !filling_->empty()) {
    filling_->format();
    std::fwrite(filling_->text, 1, filling_->text_size, file_);
  }
  writer_.reset();
  std::fclose(file_);
}

void instance_output::add_block(std::span<const rectangle> items) {
  std::size_t k = 0;
  for (;;) {
    batch& b = *filling_;
    const std::size_t take = std::min(items.size() - k, capacity_ - b.items);
    if (take > 0) std::memcpy(b.item + b.items, items.data() + k, take * sizeof(rectangle));
    b.items += take;
    k += take;
    if (k == items.size()) {
      // Never full between calls: there is room for the end.
      b.block_end[b.ends++] = static_cast<uint32_t>(b.items);
      if (b.items == capacity_ || b.ends == capacity_) hand_over();
      return;
    }
    hand_over();
  }
}

void instance_output::hand_over() {
  batch& b = *filling_;
  if (writer_ != nullptr && !writer_->idle()) {
    owner expected = owner::waiting;
    if (sent_owner_.compare_exchange_strong(expected, owner::caller)) {
      write_here(*sent_);  // the thread has not started on it
    }
    if (expected != owner::thread) {
      // The thread has not run yet: rather than wait for it, this thread
      // writes as well, in turn with drawing, until the thread is idle.
      write_here(b);
      b.items = 0;
      b.ends = 0;
      b.formatted = false;
      return;
    }
    // The thread is writing the batch before (to a disk, say): format this
    // one meanwhile and leave the writing to it, so that writing never
    // takes turns with drawing.
    b.format();
    writer_->finish();
  }
  if (writer_ != nullptr) {
    if (write_failed_) fail(failed_errno_);
    sent_ = &b;
    sent_owner_.store(owner::waiting);
    writer_->start(&write_batch, this);
    filling_ = &b == &batches_[0] ? &batches_[1] : &batches_[0];
  } else {
    write_here(b);
  }
  batch& next = *filling_;
  next.items = 0;
  next.ends = 0;
  next.formatted = false;
}

void instance_output::write_here(batch& b) {
  if (write_failed_) fail(failed_errno_);
  if (!b.formatted) b.format();
  if (std::fwrite(b.text, 1, b.text_size, file_) != b.text_size) fail(errno);
}

// On the writing thread, unless the caller took the batch back first.
void instance_output::write_batch(void* self) {
  auto& out = *static_cast<instance_output*>(self);
  owner expected = owner::waiting;
  if (!out.sent_owner_.compare_exchange_strong(expected, owner::thread)) return;
  if (out.write_failed_) return;
  batch& b = *out.sent_;
  if (!b.formatted) b.format();
  if (std::fwrite(b.text, 1, b.text_size, out.file_) != b.text_size) {
    out.failed_errno_ = errno;  // errno is the thread's own
    out.write_failed_ = true;
  }
}

void instance_output::close() {
  if (!filling_->empty()) hand_over();
  if (writer_ != nullptr) {
    writer_->finish();
    if (write_failed_) fail(failed_errno_);
    writer_.reset();
  }
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) fail(errno);
}

void instance_output::fail(int reason) {
  // Whatever is buffered could not be written either; do not retry it.
  write_failed_ = true;
  throw write_error(name_, std::error_code(reason, std::generic_category()));
}

}  // namespace sheetgen
