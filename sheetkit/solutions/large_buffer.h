// Large buffers that a check fills once, front to back: a million placed
// items take tens of MiB, and on Linux each 4 KiB page of them costs a
// page fault when first written, a third of the check's time. Asking for
// transparent huge pages makes that one fault per 2 MiB where the system
// allows it (THP "madvise" or "always"); elsewhere it does nothing.
#ifndef SHEETKIT_LARGE_BUFFER_H_
#define SHEETKIT_LARGE_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sheetkit {

/// Advises the kernel to back the whole 2 MiB pages inside `v`'s capacity
/// with huge pages; call after reserving, before filling. Only advice: the
/// contents and the program's results never depend on it.
template <typename T>
void prefer_huge_pages(std::vector<T>& v) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
  const auto begin = reinterpret_cast<std::uintptr_t>(v.data());
  const std::uintptr_t end = begin + v.capacity() * sizeof(T);
  const std::uintptr_t from = (begin + huge - 1) & ~(huge - 1), to = end & ~(huge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)v;
#endif
}

}  // namespace sheetkit

#endif  // SHEETKIT_LARGE_BUFFER_H_
