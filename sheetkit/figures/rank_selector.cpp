#include "figures/rank_selector.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <bit>
#include <numeric>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace sheetkit {

rank_selector::rank_selector() = default;
rank_selector::~rank_selector() = default;
rank_selector::rank_selector(rank_selector&&) noexcept = default;
rank_selector& rank_selector::operator=(rank_selector&&) noexcept = default;

void rank_selector::keep(std::span<const uint64_t> keys) {
  if (keys.size() <= max_kept - kept_.size()) {
    kept_.insert(kept_.end(), keys.begin(), keys.end());
    return;
  }
  keeping_ = false;
  std::vector<uint64_t>().swap(kept_);
}

void rank_selector::fold() {
  if (!counts_) return;
  if (!folded_) folded_ = std::make_unique<uint64_t[]>(buckets);
  for (std::size_t i = 0; i < buckets; ++i) folded_[i] += counts_[i];
  std::fill(counts_.get(), counts_.get() + buckets, 0);
  unfolded_ = 0;
}

std::pair<std::size_t, std::size_t> rank_selector::used() const {
  std::size_t first = 0;
  while (first < buckets - 1 && count_of(first) == 0) ++first;
  std::size_t last = buckets - 1;
  while (last > first && count_of(last) == 0) --last;
  return {first, last};
}

void rank_selector::cover(uint64_t low_key, uint64_t high_key, int at_least) {
  constexpr uint64_t last_bucket = buckets - 1;
  // The buckets in use, if any, and the new keys, at ever coarser shifts
  // until they fit.
  const bool any = counts_ != nullptr;
  // A pair, not a structured binding: the lambda below reads both, and
  // clang before 16 cannot capture structured bindings.
  const std::pair<std::size_t, std::size_t> in_use =
      any ? used() : std::pair<std::size_t, std::size_t>{0, 0};
  const std::size_t first = in_use.first;
  const std::size_t last = in_use.second;
  int shift = any ? shift_ : 0;
  uint64_t low = low_key >> shift;
  uint64_t high = high_key >> shift;
  if (any) {
    low = std::min(low, base_ + first);
    high = std::max(high, base_ + last);
  }
  while (high - low > last_bucket || shift < at_least) {
    ++shift;
    low >>= 1;
    high >>= 1;
  }
  // Centred, so that keys that keep growing (or shrinking) move the
  // buckets a few times per shift, not at every key.
  const uint64_t slack = (last_bucket - (high - low)) / 2;
  const uint64_t top = ~uint64_t{0} >> shift;  // the largest index; at least last_bucket
  const uint64_t base = std::min(low - std::min(low, slack), top - last_bucket);
  if (!any) {
    counts_ = std::make_unique<uint32_t[]>(buckets);
  } else {
    // Merged buckets hold fewer than fold_every keys in all: no overflow.
    const auto rebucket = [&](auto& counts) {
      auto wider = std::make_unique<std::remove_reference_t<decltype(counts[0])>[]>(buckets);
      for (std::size_t i = first; i <= last; ++i) {
        wider[((base_ + i) >> (shift - shift_)) - base] += counts[i];
      }
      counts = std::move(wider);
    };
    rebucket(counts_);
    if (folded_) rebucket(folded_);
  }
  shift_ = shift;
  base_ = base;
}

void rank_selector::merge(rank_selector&& other) {
  if (!other.counts_) return;
  if (keeping_ && other.keeping_) {
    keep(other.kept_);
  } else {
    keeping_ = false;
    std::vector<uint64_t>().swap(kept_);
  }
  const auto [first, last] = other.used();
  const int shift = other.shift_;
  cover((other.base_ + first) << shift, (other.base_ + last) << shift, shift);
  // 64-bit counts from here: the two sets of 32-bit ones may overflow.
  fold();
  for (std::size_t i = first; i <= last; ++i) {
    folded_[((other.base_ + i) >> (shift_ - shift)) - base_] += other.count_of(i);
  }
  other = rank_selector();
}

void rank_selector::choose(std::span<const uint64_t> ranks) {
  const auto bucket_count = [&](std::size_t i) { return count_of(i); };
  count_ = 0;
  if (counts_) {
    for (std::size_t i = 0; i < buckets; ++i) count_ += bucket_count(i);
  }
  targets_.clear();
  for (const uint64_t r : ranks) {
    if (r >= count_) throw std::out_of_range("rank_selector: a rank beyond the keys");
    targets_.push_back({r, std::nullopt});
  }
  windows_.clear();
  if (keeping_) {
    std::sort(kept_.begin(), kept_.end());
    for (target& t : targets_) t.value = kept_[t.rank];
  } else {
    // The targets in the order of their ranks, met in one walk over the buckets.
    std::vector<std::size_t> order(targets_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return targets_[a].rank < targets_[b].rank; });
    uint64_t below = 0;
    std::size_t bucket = 0;
    for (std::size_t k = 0; k < order.size();) {
      while (targets_[order[k]].rank >= below + bucket_count(bucket)) {
        below += bucket_count(bucket++);
      }
      const uint64_t count = bucket_count(bucket);
      std::vector<std::size_t> here;
      for (; k < order.size() && targets_[order[k]].rank < below + count; ++k) {
        here.push_back(order[k]);
      }
      const uint64_t low = (base_ + bucket) << shift_;
      narrow(low, low + ((uint64_t{1} << shift_) - 1), below, count, std::move(here), windows_);
    }
  }
  std::vector<uint64_t>().swap(kept_);
  counts_.reset();
  folded_.reset();
}

void rank_selector::narrow(uint64_t low, uint64_t high, uint64_t below, uint64_t count,
                           std::vector<std::size_t> targets, std::vector<window>& into) {
  if (low == high) {
    for (const std::size_t t : targets) targets_[t].value = low;
    return;
  }
  into.push_back({low, high, below, count, std::move(targets)});
}

rank_selector::share rank_selector::start_pass() const {
  share s;
  for (const window& w : windows_) {
    share::tally& t = s.tallies_.emplace_back();
    t.low = w.low;
    t.span = w.high - w.low;
    t.limit = w.count;
    if (w.count > max_kept) {
      t.fine_shift = std::max(0, static_cast<int>(std::bit_width(t.span)) - digit_bits);
      t.fine = std::make_unique<share::fine_bucket[]>(buckets);
    }
  }
  return s;
}

void rank_selector::end_pass(std::span<share> shares) {
  uint64_t total = 0;
  for (const share& s : shares) total += s.total_;
  if (total != count_) throw sheetgen::error("The files changed while they were being read!");
  std::vector<window> next;
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    share::tally& all = shares[0].tallies_[i];
    for (const share& other : shares.subspan(1)) {
      const share::tally& t = other.tallies_[i];
      all.below += t.below;
      all.inside += t.inside;
      if (all.fine) {
        for (std::size_t b = 0; b < buckets; ++b) {
          all.fine[b].count += t.fine[b].count;
          all.fine[b].low = std::min(all.fine[b].low, t.fine[b].low);
          all.fine[b].high = std::max(all.fine[b].high, t.fine[b].high);
        }
      } else {
        all.kept.insert(all.kept.end(), t.kept.begin(), t.kept.end());
      }
    }
    if (all.below != windows_[i].below || all.inside != windows_[i].count) {
      throw sheetgen::error("The files changed while they were being read!");
    }
    settle(windows_[i], all, next);
  }
  windows_ = std::move(next);
}

void rank_selector::settle(const window& w, share::tally& found, std::vector<window>& next) {
  std::vector<std::size_t> order = w.targets;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return targets_[a].rank < targets_[b].rank; });
  if (!found.fine) {
    std::sort(found.kept.begin(), found.kept.end());
    for (const std::size_t t : order) targets_[t].value = found.kept[targets_[t].rank - w.below];
    return;
  }
  // The finer bucket of each target; targets in the same one share its
  // window in the next pass, which is as narrow as its keys.
  uint64_t below = w.below;
  std::size_t bucket = 0;
  for (std::size_t k = 0; k < order.size();) {
    while (targets_[order[k]].rank >= below + found.fine[bucket].count) {
      below += found.fine[bucket++].count;
    }
    const share::fine_bucket& b = found.fine[bucket];
    std::vector<std::size_t> here;
    for (; k < order.size() && targets_[order[k]].rank < below + b.count; ++k) {
      here.push_back(order[k]);
    }
    narrow(b.low, b.high, below, b.count, std::move(here), next);
  }
}

}  // namespace sheetkit
