#include "rank_selection.h"

#include <sheetgen/types.h>

#include <algorithm>
#include <utility>

namespace sheetkit {

namespace {

constexpr std::size_t digits = std::size_t{1} << 16;

uint64_t rank_of(const quantile& q, uint64_t n) {
  // floor(p (n - 1)) in integers: n - 1 < 2^63 and p <= 1.
  const uint64_t m = n - 1;
  return m / q.denominator * q.numerator + m % q.denominator * q.numerator / q.denominator;
}

}  // namespace

rank_selection::rank_selection(std::vector<quantile> quantiles)
    : quantiles_(std::move(quantiles)), values_(quantiles_.size(), 0) {}

void rank_selection::count_high(uint32_t key) {
  if (high_.empty()) {
    // The buffer is full: from here on only counts.
    high_.assign(digits, 0);
    for (const uint32_t k : kept_) ++high_[k >> 16];
    std::vector<uint32_t>().swap(kept_);
  }
  ++high_[key >> 16];
}

void rank_selection::count_low(uint32_t key) {
  const uint32_t bucket = key >> 16;
  for (std::size_t i = 0; i < low_bucket_.size(); ++i)
    if (low_bucket_[i] == bucket) ++low_[i][key & 0xffff];
}

void rank_selection::end_pass() {
  if (done_) return;
  if (second_pass_) {
    for (std::size_t q = 0; q < searches_.size(); ++q) {
      const bucket_search& s = searches_[q];
      const std::vector<uint64_t>& counts = low_[s.counts];
      uint64_t total = 0;
      for (const uint64_t c : counts) total += c;
      if (total != s.expected) throw sheetgen::error("The files changed while they were being read!");
      uint64_t rank = s.rank;
      std::size_t digit = 0;
      while (rank >= counts[digit]) rank -= counts[digit++];
      values_[q] = s.bucket << 16 | static_cast<uint32_t>(digit);
    }
    done_ = true;
    low_.clear();
    return;
  }
  if (seen_ == 0 || high_.empty()) {
    // Every key is in memory (or there is none).
    for (std::size_t q = 0; q < quantiles_.size() && seen_ > 0; ++q) {
      const auto at = kept_.begin() + static_cast<std::ptrdiff_t>(rank_of(quantiles_[q], seen_));
      std::nth_element(kept_.begin(), at, kept_.end());
      values_[q] = *at;
    }
    std::vector<uint32_t>().swap(kept_);
    done_ = true;
    return;
  }
  for (const quantile& q : quantiles_) {
    bucket_search s;
    s.rank = rank_of(q, seen_);
    while (s.rank >= high_[s.bucket]) s.rank -= high_[s.bucket++];
    s.expected = high_[s.bucket];
    const auto same = std::find(low_bucket_.begin(), low_bucket_.end(), s.bucket);
    s.counts = static_cast<std::size_t>(same - low_bucket_.begin());
    if (same == low_bucket_.end()) {
      low_bucket_.push_back(s.bucket);
      low_.emplace_back(digits, 0);
    }
    searches_.push_back(s);
  }
  std::vector<uint64_t>().swap(high_);
  second_pass_ = true;
}

}  // namespace sheetkit
