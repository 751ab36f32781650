// Exact values at several ranks among many 32-bit keys, in bounded memory:
// the quantiles of item lengths, widths and areas over a whole class of
// runs, which may hold far more item types than memory would.
#ifndef SHEETKIT_RANK_SELECTION_H_
#define SHEETKIT_RANK_SELECTION_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sheetkit {

/// A quantile p = numerator / denominator (0 <= p <= 1): the key at 0-based
/// rank floor(p (n - 1)) among n keys in sorted order.
struct quantile {
  uint64_t numerator = 1;
  uint64_t denominator = 2;
};

/// The keys are replayed once per pass, the same keys each time. The
/// first pass keeps up to max_kept keys and, when they fit, settles every
/// rank from memory. Beyond that it counts the keys by their upper 16 bits;
/// the second pass counts, in the bucket holding each rank, the lower 16
/// bits, which settles it: at most two passes, at most about 2 MiB.
class rank_selection {
 public:
  /// Keys kept in memory on the first pass (1 MiB).
  static constexpr std::size_t max_kept = std::size_t{1} << 18;

  explicit rank_selection(std::vector<quantile> quantiles);

  void add(uint32_t key) {
    if (done_) return;
    if (second_pass_) return count_low(key);
    ++seen_;
    if (kept_.size() < max_kept && high_.empty()) return kept_.push_back(key);
    count_high(key);
  }

  /// Ends a pass. Throws sheetgen::error when the second pass does not see
  /// the keys the first one saw (the files changed in between).
  void end_pass();

  /// Whether every rank is settled (after the first pass when there were
  /// no keys at all: then every value is 0).
  bool done() const { return done_; }
  /// How many keys the first pass saw.
  uint64_t count() const { return seen_; }
  /// The key at the i-th quantile's rank, once done.
  uint32_t value(std::size_t i) const { return values_[i]; }

 private:
  void count_high(uint32_t key);
  void count_low(uint32_t key);

  std::vector<quantile> quantiles_;
  std::vector<uint32_t> values_;
  bool done_ = false;
  bool second_pass_ = false;
  uint64_t seen_ = 0;
  std::vector<uint32_t> kept_;
  std::vector<uint64_t> high_;  // keys per upper 16 bits, while counting
  // Per quantile on the second pass: its bucket, its rank within it, and
  // the bucket's keys by their lower 16 bits (shared between quantiles of
  // one bucket).
  struct bucket_search {
    uint32_t bucket = 0;
    uint64_t rank = 0;
    uint64_t expected = 0;  // keys in the bucket, as the first pass counted
    std::size_t counts = 0;  // index into low_
  };
  std::vector<bucket_search> searches_;
  std::vector<std::vector<uint64_t>> low_;
  std::vector<uint32_t> low_bucket_;  // which bucket each of low_ counts
};

}  // namespace sheetkit

#endif  // SHEETKIT_RANK_SELECTION_H_
