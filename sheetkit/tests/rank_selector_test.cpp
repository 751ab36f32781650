#include "figures/rank_selector.h"

#include <gtest/gtest.h>
#include <sheetgen/types.h>

#include <algorithm>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace sheetkit {
namespace {

struct selected {
  std::vector<uint64_t> values;  // one per rank asked for
  int passes;
};

// Selects `ranks` among `keys` as a command does: the first pass in blocks
// of 1000 keys (over `shares` selectors merged, when more than one), each
// later pass shared out over `shares` shares in turn.
selected select(const std::vector<uint64_t>& keys, const std::vector<uint64_t>& ranks,
                std::size_t shares = 1) {
  const auto block = [&](std::size_t b) {
    const std::size_t begin = b * 1000;
    return std::span<const uint64_t>(keys.data() + begin,
                                     std::min<std::size_t>(1000, keys.size() - begin));
  };
  const std::size_t blocks = (keys.size() + 999) / 1000;
  std::vector<rank_selector> first(shares);
  for (std::size_t b = 0; b < blocks; ++b) first[b % shares].add(block(b));
  rank_selector selector = std::move(first[0]);
  for (std::size_t k = 1; k < shares; ++k) selector.merge(std::move(first[k]));
  selector.choose(ranks);
  EXPECT_EQ(selector.count(), keys.size());
  int passes = 1;
  while (selector.needs_pass()) {
    std::vector<rank_selector::share> parts;
    for (std::size_t k = 0; k < shares; ++k) parts.push_back(selector.start_pass());
    for (std::size_t b = 0; b < blocks; ++b) parts[b % shares].add(block(b));
    selector.end_pass(parts);
    ++passes;
  }
  selected out{{}, passes};
  for (std::size_t i = 0; i < ranks.size(); ++i) out.values.push_back(selector.value(i));
  return out;
}

// The lower median and quartiles, the extremes, and a repeat.
std::vector<uint64_t> ranks_of(std::size_t n) {
  return {(n - 1) / 2, (n - 1) / 4, 3 * (n - 1) / 4, 0, n - 1, (n - 1) / 2};
}

void expect_exact(const std::vector<uint64_t>& keys, const selected& got) {
  std::vector<uint64_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  const std::vector<uint64_t> ranks = ranks_of(keys.size());
  ASSERT_EQ(got.values.size(), ranks.size());
  for (std::size_t i = 0; i < ranks.size(); ++i) {
    EXPECT_EQ(got.values[i], sorted[ranks[i]]) << "rank " << ranks[i];
  }
}

// Every kind of key a run gives, each whole and shared out in two and three.
TEST(RankSelector, ExactForEveryKindOfKeys) {
  std::mt19937_64 random(5);
  struct kind {
    const char* name;
    std::size_t n;
    std::function<uint64_t(std::size_t)> key;
    int passes;
  };
  const kind kinds[] = {
      // Kept in memory from the first pass.
      {"few", 5000, [&](std::size_t) { return random(); }, 1},
      // 32-bit keys over their whole range, and 64-bit keys over theirs.
      {"areas", 400000, [&](std::size_t) { return random() >> 33 | 0x80000000u; }, 2},
      {"wide", 400000, [&](std::size_t) { return random(); }, 2},
      // Growing and shrinking: the buckets move and widen all the time.
      {"growing", 300000, [](std::size_t i) { return uint64_t{1} << 40 | i * i; }, 2},
      {"shrinking", 300000, [](std::size_t i) { return ~uint64_t{0} - i * 977; }, 2},
      // One key, and keys within 65536 of each other: the first pass's
      // buckets are the keys.
      {"equal", 300000, [](std::size_t) { return uint64_t{12345}; }, 1},
      {"close", 300000, [&](std::size_t) { return (uint64_t{7} << 50) + random() % 60000; }, 1},
      // Most keys one value among a few far apart (a run's many squares):
      // settled by the second pass's finer buckets.
      {"squares", 400000,
       [&](std::size_t) {
         const uint64_t pick = random() % 10;
         return pick < 6 ? uint64_t{1} << 62 : pick < 8 ? uint64_t{3} << 61 : uint64_t{1} << 50;
       },
       2},
      // More than max_kept different keys around the median crowded into one
      // 65536th of the range, and half of them into one 65536th of that: a
      // third pass.
      {"crowded", 400000,
       [&](std::size_t i) {
         return i % 20 < 8    ? random() >> 5
                : i % 20 < 15 ? (uint64_t{1} << 60) + random() % (uint64_t{1} << 33)
                              : (uint64_t{1} << 61) + (random() >> 3);
       },
       3},
      // The extremes of the key space, half each.
      {"extremes", 300000, [&](std::size_t i) { return i % 2 ? ~uint64_t{0} : uint64_t{0}; }, 2},
  };
  for (const kind& k : kinds) {
    std::vector<uint64_t> keys(k.n);
    for (std::size_t i = 0; i < k.n; ++i) keys[i] = k.key(i);
    for (const std::size_t shares : {1, 2, 3}) {
      SCOPED_TRACE(std::string(k.name) + ", shares " + std::to_string(shares));
      const selected got = select(keys, ranks_of(k.n), shares);
      expect_exact(keys, got);
      EXPECT_EQ(got.passes, k.passes);
    }
  }
}

TEST(RankSelector, ChangedKeysAreAnError) {
  std::mt19937_64 random(9);
  std::vector<uint64_t> keys(300000);
  for (uint64_t& k : keys) k = random();
  rank_selector selector;
  selector.add(keys);
  const uint64_t median = (keys.size() - 1) / 2;
  selector.choose({&median, 1});
  ASSERT_TRUE(selector.needs_pass());
  // One key fewer, then one moved from below the median to above it.
  std::vector<rank_selector::share> shares;
  shares.push_back(selector.start_pass());
  shares[0].add(std::span(keys).subspan(1));
  EXPECT_THROW(selector.end_pass(shares), sheetgen::error);

  std::vector<uint64_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  std::replace(keys.begin(), keys.end(), sorted.front(), sorted.back());
  rank_selector again;
  again.add(keys);
  again.choose({&median, 1});
  std::replace(keys.begin(), keys.end(), sorted.back(), sorted.front());
  std::vector<rank_selector::share> moved;
  moved.push_back(again.start_pass());
  moved[0].add(keys);
  EXPECT_THROW(again.end_pass(moved), sheetgen::error);

  // A rank beyond the keys is the caller's fault.
  rank_selector few;
  few.add(std::span(keys).first(3));
  const uint64_t beyond = 3;
  EXPECT_THROW(few.choose({&beyond, 1}), std::out_of_range);
}

}  // namespace
}  // namespace sheetkit
