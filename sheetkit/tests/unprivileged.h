// For the tests of files and folders that cannot be read: root reads
// them all the same, unless this thread (and those it starts) sets its
// privilege over files aside, as this does until its end.
#ifndef SHEETKIT_TESTS_UNPRIVILEGED_H_
#define SHEETKIT_TESTS_UNPRIVILEGED_H_

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sheetkit::testing {

class unprivileged {
 public:
  unprivileged() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~unprivileged() {
    if (lowered_) syscall(SYS_capset, &header_, saved_);
  }
  unprivileged(const unprivileged&) = delete;
  unprivileged& operator=(const unprivileged&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool lowered_ = false;
};

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_UNPRIVILEGED_H_
