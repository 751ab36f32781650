#include <sheetgen/mapped_file.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "sheetgen/types.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#include <unistd.h>
#define SHEETGEN_MAPPED 1
#endif

namespace sheetgen {

#if SHEETGEN_MAPPED

namespace {

// The mappings the handler mends, in a fixed table that it reads without
// locks. More readers at once than slots read as streams.
struct guard_slot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 in use
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<std::atomic<bool>*> faulted{nullptr};
};
constexpr int slot_count = 64;
guard_slot slots[slot_count];
struct sigaction previous_handler;
std::uintptr_t page_size = 4096;

void pass_on(int sig, siginfo_t* info, void* context) {
  if ((previous_handler.sa_flags & SA_SIGINFO) != 0) {
    previous_handler.sa_sigaction(sig, info, context);
  } else if (previous_handler.sa_handler == SIG_DFL) {
    // The default ends the process: a fault that returns happens again
    // and meets it; a signal sent is sent again.
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    if (info->si_code <= 0) raise(sig);
  } else if (previous_handler.sa_handler != SIG_IGN) {
    previous_handler.sa_handler(sig);
  }
}

// Maps a page of zeros over `page`. The system call itself where its form
// is plain: safe in a signal handler, and not taken by a race detector for
// a write that races with another thread's read of the page, whose bytes
// only ever turn to zeros.
void* zero_page(void* page) {
  constexpr int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED;
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
  const long got = syscall(SYS_mmap, page, page_size, PROT_READ, flags, -1, 0L);
  return got == -1 ? MAP_FAILED : reinterpret_cast<void*>(got);
#else
  return mmap(page, page_size, PROT_READ, flags, -1, 0);
#endif
}

void on_bus_error(int sig, siginfo_t* info, void* context) {
  const int saved = errno;
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (guard_slot& s : slots) {
    if (s.state.load(std::memory_order_acquire) != 2) continue;
    if (at < s.begin.load(std::memory_order_relaxed) ||
        at >= s.end.load(std::memory_order_relaxed)) {
      continue;
    }
    // A page of zeros where the file's page was.
    void* zeros = zero_page(reinterpret_cast<void*>(at & ~(page_size - 1)));
    if (zeros == MAP_FAILED) break;
    s.faulted.load(std::memory_order_relaxed)->store(true, std::memory_order_relaxed);
    errno = saved;
    return;
  }
  errno = saved;
  pass_on(sig, info, context);
}

bool install_handler() {
  page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  struct sigaction ours = {};
  ours.sa_sigaction = on_bus_error;
  ours.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&ours.sa_mask);
  return sigaction(SIGBUS, &ours, &previous_handler) == 0;
}

int take_slot(std::uintptr_t begin, std::uintptr_t end, std::atomic<bool>* faulted) {
  for (int i = 0; i < slot_count; ++i) {
    int expected = 0;
    if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
    slots[i].begin.store(begin, std::memory_order_relaxed);
    slots[i].end.store(end, std::memory_order_relaxed);
    slots[i].faulted.store(faulted, std::memory_order_relaxed);
    slots[i].state.store(2, std::memory_order_release);
    return i;
  }
  return -1;
}

std::error_code last_error() { return {errno, std::generic_category()}; }

// Whether to map at all. Where the first touch of each mapped page is dear
// (a guest whose hypervisor fills the page tables: 3-4 us a page, against
// a copy from the page cache at 12 GB/s), the buffered read is the faster
// one; SHEETGEN_READ=map chooses the mapping, anything else the read.
bool mapping_chosen() {
  const char* choice = std::getenv("SHEETGEN_READ");
  return choice != nullptr && std::string_view(choice) == "map";
}

}  // namespace

std::unique_ptr<mapped_file> mapped_file::open(const std::filesystem::path& file,
                                               const std::string& name) {
  // Only a regular file is opened here: a pipe opened twice would lose
  // what its writer wrote in between.
  struct stat st {};
  // EOVERFLOW: a file too large for this 32-bit build's stat, read as a
  // stream (which reads any size).
  if (stat(file.c_str(), &st) != 0) {
    if (errno == EOVERFLOW) return nullptr;
    throw file_error(name, last_error());
  }
  if (S_ISDIR(st.st_mode)) throw file_error(name, std::make_error_code(std::errc::is_a_directory));
  if (!S_ISREG(st.st_mode) || !mapping_chosen()) return nullptr;
  static const bool handled = install_handler();
  if (!handled) return nullptr;

  std::unique_ptr<mapped_file> m(new mapped_file);
  m->fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (m->fd_ < 0) {
    if (errno == EOVERFLOW) return nullptr;
    throw file_error(name, last_error());
  }
  if (fstat(m->fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return nullptr;
  const auto size = static_cast<uint64_t>(st.st_size);
  // A 32-bit address space has no room for a large file: a stream reads it.
  constexpr uint64_t largest = sizeof(void*) >= 8 ? uint64_t{1} << 46 : uint64_t{256} << 20;
  if (size > largest) return nullptr;
  m->size_ = static_cast<std::size_t>(size);
  const std::size_t pages = (m->size_ + page_size - 1) & ~(page_size - 1);
  m->reserved_size_ = page_size + pages;
  void* reserved = mmap(nullptr, m->reserved_size_, PROT_READ,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) return nullptr;
  m->reserved_ = static_cast<char*>(reserved);
  void* data =
      mmap(m->reserved_ + page_size, m->size_, PROT_READ, MAP_SHARED | MAP_FIXED, m->fd_, 0);
  if (data == MAP_FAILED) return nullptr;
  m->data_ = static_cast<const char*>(data);
  m->released_ = m->data_;
  madvise(data, m->size_, MADV_SEQUENTIAL);
  const auto begin = reinterpret_cast<std::uintptr_t>(m->data_);
  m->slot_ = take_slot(begin, begin + pages, &m->faulted_);
  if (m->slot_ < 0) return nullptr;
  return m;
}

mapped_file::~mapped_file() {
  if (slot_ >= 0) slots[slot_].state.store(0, std::memory_order_release);
  if (reserved_ != nullptr) munmap(reserved_, reserved_size_);
  if (fd_ >= 0) close(fd_);
}

void mapped_file::prefetch(const char* from, std::size_t n) const {
  const auto start = reinterpret_cast<std::uintptr_t>(from) & ~(page_size - 1);
  const std::size_t length = reinterpret_cast<std::uintptr_t>(from) + n - start;
#ifdef MADV_POPULATE_READ
  // Page tables filled in one call rather than a fault every 16 pages; a
  // kernel before 5.14 refuses it once, and then only reads ahead.
  static std::atomic<bool> populate{true};
  if (populate.load(std::memory_order_relaxed)) {
    if (madvise(reinterpret_cast<void*>(start), length, MADV_POPULATE_READ) == 0 ||
        errno != EINVAL) {
      return;
    }
    populate.store(false, std::memory_order_relaxed);
  }
#endif
  madvise(reinterpret_cast<void*>(start), length, MADV_WILLNEED);
}

void mapped_file::release(const char* upto) {
  const auto end = reinterpret_cast<std::uintptr_t>(upto) & ~(page_size - 1);
  const auto from = reinterpret_cast<std::uintptr_t>(released_);
  // In steps of a MiB: each call costs the other threads' TLBs too.
  if (end < from + (std::uintptr_t{1} << 20)) return;
  madvise(const_cast<char*>(released_), end - from, MADV_DONTNEED);
  released_ = reinterpret_cast<const char*>(end);
}

bool mapped_file::changed() const {
  if (faulted_.load(std::memory_order_relaxed)) return true;
  struct stat st {};
  return fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) != size_;
}

#else  // Windows: every file is read as a stream.

std::unique_ptr<mapped_file> mapped_file::open(const std::filesystem::path&, const std::string&) {
  return nullptr;
}
mapped_file::~mapped_file() = default;
void mapped_file::prefetch(const char*, std::size_t) const {}
void mapped_file::release(const char*) {}
bool mapped_file::changed() const { return false; }

#endif

}  // namespace sheetgen
