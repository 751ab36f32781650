#include "files/read_ahead.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace sheetkit {

namespace {

// Instances going from the thread that reads them to the one that visits
// them, in batches: a hand-over per instance would cost more than a small
// block's work (a million empty blocks are a million instances).
class handover {
 public:
  // Batches end after this many lines or instances, the next block's
  // lines at most beyond: 3 batches of up to about 1 MiB of item types.
  static constexpr std::size_t batch_lines = std::size_t{1} << 16;
  static constexpr std::size_t batch_instances = 4096;

  struct batch {
    std::vector<instance> instances;  // the first `size` are filled
    std::size_t size = 0;
    std::size_t lines = 0;
  };

  // Thrown on the reading thread once the visitor has stopped.
  struct stopped {};

  // The reading thread's side: the batch to fill, handed over when full.
  batch& filling() { return slots_[filling_]; }
  void hand_over_if_full() {
    const batch& b = slots_[filling_];
    if (b.lines >= batch_lines || b.size >= batch_instances) hand_over();
  }
  void end(std::exception_ptr error) {
    if (slots_[filling_].size > 0) {
      try {
        hand_over();
      } catch (const stopped&) {
      }
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    error_ = std::move(error);
    changed_.notify_all();
  }

  // The visiting thread's side: the next full batch, or null after the
  // last; `done` gives back the one before.
  batch* next() {
    std::unique_lock lock(mutex_);
    if (visiting_ >= 0) {
      slots_[visiting_].size = 0;
      slots_[visiting_].lines = 0;
      free_.push_back(visiting_);
      visiting_ = -1;
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return !full_.empty() || ended_; });
    if (full_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return nullptr;
    }
    visiting_ = full_.front();
    full_.erase(full_.begin());
    return &slots_[visiting_];
  }
  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  void hand_over() {
    std::unique_lock lock(mutex_);
    full_.push_back(filling_);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !free_.empty() || stopped_; });
    if (stopped_) throw stopped{};
    filling_ = free_.front();
    free_.erase(free_.begin());
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<batch, 3> slots_;
  int filling_ = 0;
  int visiting_ = -1;
  std::vector<int> full_;  // in file order
  std::vector<int> free_{1, 2};
  bool ended_ = false;
  bool stopped_ = false;
  std::exception_ptr error_;
};

}  // namespace

instance_pass read_ahead(instance_pass pass) {
  return [pass = std::move(pass)](const std::function<void(const instance&)>& visit) {
    handover batches;
    const auto read = [&] {
      try {
        pass([&](const instance& in) {
          handover::batch& b = batches.filling();
          if (b.size == b.instances.size()) b.instances.emplace_back();
          b.instances[b.size++] = in;  // the slot's capacity is reused
          b.lines += in.items.size() + in.defects.size() + 1;
          batches.hand_over_if_full();
        });
        batches.end(nullptr);
      } catch (const handover::stopped&) {
        batches.end(nullptr);
      } catch (...) {
        batches.end(std::current_exception());
      }
    };
    std::thread reader;
    try {
      reader = std::thread(read);
    } catch (const std::system_error&) {
      return pass(visit);
    }
    try {
      while (const handover::batch* b = batches.next()) {
        for (std::size_t i = 0; i < b->size; ++i) visit(b->instances[i]);
      }
    } catch (...) {
      batches.stop();
      reader.join();
      throw;
    }
    reader.join();
  };
}

}  // namespace sheetkit
