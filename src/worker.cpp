#include "worker.h"

namespace sheetgen {

worker::worker() : thread_([this] { run(); }) {}

worker::~worker() {
  {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    stopping_ = true;
  }
  work_.notify_one();
  thread_.join();
}

void worker::start(void (*job)(void*), void* context) {
  {
    const std::lock_guard lock(mutex_);
    job_ = job;
    context_ = context;
    busy_ = true;
  }
  work_.notify_one();
}

void worker::finish() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return !busy_; });
}

bool worker::idle() {
  const std::lock_guard lock(mutex_);
  return !busy_;
}

void worker::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    void (*const job)(void*) = job_;
    void* const context = context_;
    lock.unlock();
    job(context);
    lock.lock();
    busy_ = false;
    done_.notify_one();
  }
}

}  // namespace sheetgen
