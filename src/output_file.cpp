#include "output_file.h"

#include <sheetgen/types.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace sheetgen {

// Writes one piece of the buffer at a time on its own thread. It never
// allocates once started, so that a run's memory is all taken before a
// file is opened.
class output_file::writer {
 public:
  writer() : thread_([this] { run(); }) {}

  ~writer() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_one();
    thread_.join();
  }

  writer(const writer&) = delete;
  writer& operator=(const writer&) = delete;

  // Waits until the piece last started is written; false once any write
  // has failed.
  bool finish() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    return !failed_;
  }

  // Starts writing `piece` to `file`; only after finish() returned true.
  void start(std::FILE* file, std::span<const char> piece) {
    {
      const std::lock_guard lock(mutex_);
      file_ = file;
      piece_ = piece;
      busy_ = true;
    }
    work_.notify_one();
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_.wait(lock, [this] { return busy_ || stopping_; });
      if (!busy_) return;
      lock.unlock();
      const bool written = std::fwrite(piece_.data(), 1, piece_.size(), file_) == piece_.size();
      lock.lock();
      failed_ = failed_ || !written;
      busy_ = false;
      done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable work_;  // a piece to write, or the end
  std::condition_variable done_;  // the piece is written
  std::FILE* file_ = nullptr;
  std::span<const char> piece_;
  bool busy_ = false;
  bool failed_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything above is ready
};

output_file::output_file(const std::filesystem::path& folder, const std::string& name,
                         std::span<char> buffer)
    : name_(name), buffer_(buffer), filling_(buffer) {
  try {
    writer_ = std::make_unique<writer>();
    filling_ = buffer_.first(largest_reservation(buffer_.size()));
  } catch (const std::system_error&) {
    // No thread to be had (too little address space for its stack, say):
    // generating and writing take turns, as they always could.
  }
  const std::filesystem::path path = folder / name;
  file_ = std::fopen(path.string().c_str(), "wb");
  if (file_ == nullptr) fail();
  // The stream's own buffer would hide write errors until the close.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

output_file::~output_file() {
  if (file_ == nullptr) return;
  const bool written = writer_ == nullptr || writer_->finish();
  if (written && used_ > 0) std::fwrite(filling_.data(), 1, used_, file_);
  writer_.reset();
  std::fclose(file_);
}

void output_file::hand_over() {
  if (writer_ == nullptr) {
    if (used_ > 0 && std::fwrite(filling_.data(), 1, used_, file_) != used_) fail();
    used_ = 0;
    return;
  }
  if (!writer_->finish()) fail();
  if (used_ > 0) writer_->start(file_, filling_.first(used_));
  const std::size_t half = largest_reservation(buffer_.size());
  filling_ = filling_.data() == buffer_.data() ? buffer_.subspan(half, half) : buffer_.first(half);
  used_ = 0;
}

void output_file::close() {
  hand_over();
  if (writer_ != nullptr) {
    if (!writer_->finish()) fail();
    writer_.reset();
  }
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
