// The checks' long loops let a caller abandon them (Python's Ctrl-C): a
// step counter that calls the caller's poll every few thousand steps.
#ifndef SHEETKIT_POLL_EVERY_H_
#define SHEETKIT_POLL_EVERY_H_

#include <cstdint>
#include <functional>

namespace sheetkit {

/// Counts the steps of a loop and calls `poll` (when set) every 4096th;
/// `poll` may throw to abandon the loop.
class poll_every {
 public:
  /// `poll` must outlive this counter.
  explicit poll_every(const std::function<void()>& poll) : poll_(poll) {}
  /// One step.
  void operator()() {
    if ((++steps_ & 0xfff) == 0 && poll_) poll_();
  }

 private:
  const std::function<void()>& poll_;
  uint32_t steps_ = 0;
};

}  // namespace sheetkit

#endif  // SHEETKIT_POLL_EVERY_H_
