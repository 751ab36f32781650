// Exact order statistics (the median, later quartiles) of more keys than
// memory should hold, from passes over them: two passes and a few MiB
// whatever their number, for keys spread as a run's areas and shapes are.
//
// The first pass counts the keys in 65536 buckets over the range of the
// keys seen so far (widened, and the counts merged, as new keys fall
// outside). Each rank asked for then lies in a known bucket, with a known
// number of keys below it. The second pass counts the keys below that
// bucket again and looks only at those inside it: it keeps them when there
// are at most max_kept (a bucket holds about 1/65536 of the keys, 6000 of
// a run of 400 million item types), or else counts them in 65536 finer
// buckets that each remember their smallest and largest key, so that a
// bucket of equal keys (a run's many squares) settles its rank too. 32-bit
// keys are settled by then, always; 64-bit ones take a third pass only when
// more than max_kept different keys crowd into one 65536th of the range
// and then into one 65536th of that, and at most a fourth. A first pass
// of at most max_kept keys keeps them all and settles every rank at once.
//
// A later pass may be shared out: each share counts its part of the keys,
// on a thread of its own if need be, and the pass ends with all of them.
#ifndef SHEETKIT_RANK_SELECTOR_H_
#define SHEETKIT_RANK_SELECTOR_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace sheetkit {

class rank_selector {
 public:
  static constexpr int digit_bits = 16;
  static constexpr std::size_t buckets = std::size_t{1} << digit_bits;
  // Keys kept in a pass, 1 MiB: a run of up to 131072 item types is read once.
  static constexpr std::size_t max_kept = std::size_t{1} << 17;

  // What a share of a later pass counts: the keys below each window of
  // keys that holds a rank, and those inside it.
  class share {
   public:
    void add(std::span<const uint64_t> keys) {
      total_ += keys.size();
      for (tally& t : tallies_) {
        uint64_t below = 0;
        for (const uint64_t key : keys) {
          // Without a branch: a key falls below the window or above it at random.
          below += key < t.low;
          if (key - t.low <= t.span) [[unlikely]] {
            t.add(key);
          }
        }
        t.below += below;
      }
    }

   private:
    friend class rank_selector;
    struct fine_bucket {
      uint64_t count = 0;
      uint64_t low = ~uint64_t{0};
      uint64_t high = 0;
    };
    struct tally {
      uint64_t low = 0;
      uint64_t span = 0;                    // the window's high - low
      uint64_t limit = 0;                   // keys the window holds, as the pass before found
      int fine_shift = 0;                   // of the finer buckets
      uint64_t below = 0;                   // keys below the window
      uint64_t inside = 0;                  // keys in it
      std::vector<uint64_t> kept;           // when limit <= max_kept
      std::unique_ptr<fine_bucket[]> fine;  // else, `buckets` of them

      void add(uint64_t key) {
        ++inside;
        if (!fine) {
          // Never more than the pass before found, whatever the files do now.
          if (kept.size() < limit) kept.push_back(key);
          return;
        }
        fine_bucket& b = fine[(key - low) >> fine_shift];
        ++b.count;
        if (key < b.low) b.low = key;
        if (key > b.high) b.high = key;
      }
    };
    std::vector<tally> tallies_;
    uint64_t total_ = 0;
  };

  rank_selector();
  ~rank_selector();
  rank_selector(rank_selector&&) noexcept;
  rank_selector& operator=(rank_selector&&) noexcept;

  // The first pass: every key once, any number at a time.
  void add(std::span<const uint64_t> keys) {
    if (keys.size() > fold_every - unfolded_) fold();
    unfolded_ += static_cast<uint32_t>(keys.size());
    if (keeping_) keep(keys);
    // The bucket of each key, in locals that stay in registers.
    uint32_t* counts = counts_.get();
    int shift = shift_;
    uint64_t base = base_;
    for (const uint64_t key : keys) {
      const uint64_t index = (key >> shift) - base;
      if (index >= buckets) [[unlikely]] {
        cover(key, key, 0);
        counts = counts_.get();
        shift = shift_;
        base = base_;
        ++counts[(key >> shift) - base];
        continue;
      }
      ++counts[index];
    }
  }

  // Takes in what another selector's first pass counted: a first pass may
  // be shared out as a later one is.
  void merge(rank_selector&& other);

  // Ends the first pass: the ranks to find (0-based, each below the number
  // of keys), in any order, repeats allowed.
  void choose(std::span<const uint64_t> ranks);

  // How many keys the first pass saw; known once it ended.
  uint64_t count() const { return count_; }

  // Whether another pass is needed; false at once when the first pass kept
  // every key or every rank's bucket holds a single value.
  bool needs_pass() const { return !windows_.empty(); }

  // A later pass: as many shares as it is shared out in, each given a part
  // of the keys, every key to one share.
  share start_pass() const;

  // Ends a later pass with its shares. Throws sheetgen::error "The files
  // changed while they were being read!" when they did not see the keys
  // the pass before saw.
  void end_pass(std::span<share> shares);

  // The key at the `i`-th rank chosen, once no pass is needed.
  uint64_t value(std::size_t i) const { return *targets_[i].value; }

 private:
  // The keys from `low` to `high`, which hold the ranks of `targets`.
  struct window {
    uint64_t low = 0;
    uint64_t high = 0;
    uint64_t below = 0;  // keys below `low`, as the pass before found
    uint64_t count = 0;  // keys in the window, as the pass before found
    std::vector<std::size_t> targets;
  };

  struct target {
    uint64_t rank;
    std::optional<uint64_t> value;
  };

  // 32-bit counts take half the cache of 64-bit ones, and the first pass's
  // time goes into them: they are added to 64-bit ones before they could
  // overflow, before fold_every keys are in them.
  static constexpr uint32_t fold_every = ~uint32_t{0};
  void fold();
  // Makes the buckets cover the keys from `low` to `high` too, at a shift
  // of at least `shift`.
  void cover(uint64_t low, uint64_t high, int shift);
  // The first and the last bucket with keys; there are some once counts_ is there.
  std::pair<std::size_t, std::size_t> used() const;
  uint64_t count_of(std::size_t bucket) const {
    return counts_[bucket] + (folded_ ? folded_[bucket] : 0);
  }
  void keep(std::span<const uint64_t> keys);
  // Settles the targets of a window from what a pass found in it, or
  // finds the narrower windows for the next pass.
  void settle(const window& w, share::tally& found, std::vector<window>& next);
  // The window of `targets`, whose ranks lie among the `count` keys from
  // `low` to `high`, or their value when those keys are all one.
  void narrow(uint64_t low, uint64_t high, uint64_t below, uint64_t count,
              std::vector<std::size_t> targets, std::vector<window>& into);

  // Bucket i of the first pass holds the keys k with k >> shift_ == base_ + i.
  // Before the first key, shift_ 63 and base_ 2 put every key outside.
  int shift_ = 63;
  uint64_t base_ = 2;
  std::unique_ptr<uint32_t[]> counts_;
  uint32_t unfolded_ = 0;               // keys counted in counts_ since the last fold
  std::unique_ptr<uint64_t[]> folded_;  // the counts folded so far, when any
  uint64_t count_ = 0;
  bool keeping_ = true;
  std::vector<uint64_t> kept_;  // every key, while there are at most max_kept

  std::vector<target> targets_;
  std::vector<window> windows_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_RANK_SELECTOR_H_
