// Lines of the instance or the defect file parsed many at a time: the fast
// path that nearly every line takes. It accepts a line only when it is
// exactly what the writer writes with an LF end and numbers of at most 8
// digits (every number of a 20000 x 20000 run); it stops at the first other
// line, which the careful one-line parser (line_parse.h) then takes, with
// its messages. So it decides nothing that the careful parser would decide
// otherwise: it only gets there sooner.
//
// Why it is fast: a few vector compares mark every byte of a line that is
// not a digit. In a good line those are, per number, its dot and the tab or
// LF eight bytes on, so the numbers' places come out of the mask with no
// byte loop and no branch on their lengths; the bytes between are digits by
// construction, and ".000000\t" is one 8-byte compare per number. The
// numbers of a line are then converted together (SSE2, which every x86-64
// and sheetgen's 32-bit x86 build has; 64-bit words elsewhere).
#ifndef SHEETGEN_LINE_BATCH_H_
#define SHEETGEN_LINE_BATCH_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "line_parse.h"
#include "sheetgen/types.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SHEETGEN_LINE_BATCH_SSE2 1
#endif
// AVX2 and BMI where the processor has them, chosen when the program runs:
// a build for any x86-64 still gets them (GCC and Clang only).
#if defined(SHEETGEN_LINE_BATCH_SSE2) && (defined(__GNUC__) || defined(__clang__)) && \
    (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define SHEETGEN_LINE_BATCH_AVX2 1
#define SHEETGEN_AVX2_CODE [[gnu::target("avx2,bmi,bmi2")]] inline
#endif

namespace sheetgen::line_batch {

// The parser reads up to this many bytes from a line's start, and up to
// reach_back bytes before it; a buffer keeps them readable, with zeros
// (never a digit or a line end) after its data.
constexpr std::size_t reach_ahead = 64 + 8;
constexpr std::size_t reach_back = 8;

// How a value's int32 members stand against a line's numbers: member i
// holds the line's number order[i].
template <class Value>
struct layout;

template <>
struct layout<rectangle> {  // length, width, area in the file; area first in memory
  static constexpr int fields = 3;
  static constexpr int order[4] = {2, 0, 1, 0};
};
static_assert(sizeof(rectangle) == 12 && offsetof(rectangle, area) == 0 &&
              offsetof(rectangle, length) == 4 && offsetof(rectangle, width) == 8);

template <>
struct layout<placed_defect> {
  static constexpr int fields = 4;
  static constexpr int order[4] = {0, 1, 2, 3};
};
static_assert(sizeof(placed_defect) == 16 && offsetof(placed_defect, x1) == 0 &&
              offsetof(placed_defect, y1) == 4 && offsetof(placed_defect, x2) == 8 &&
              offsetof(placed_defect, y2) == 12);

// The value a line's numbers (in file order) make.
template <class Value>
Value make(const int32_t* numbers) {
  static_assert(std::is_trivially_copyable_v<Value>);
  Value v;
  for (int i = 0; i < layout<Value>::fields; ++i) {
    std::memcpy(reinterpret_cast<char*>(&v) + 4 * i, &numbers[layout<Value>::order[i]], 4);
  }
  return v;
}

// Lines parsed and not yet handed on: `count` values, and the empty lines
// among them (ends[k] values come before the k-th).
template <class Value>
class batch {
 public:
  explicit batch(uint32_t capacity)
      : values_(new Value[capacity + 1]),  // + 1: a vector store writes past the last
        capacity_(capacity) {}

  Value* values() { return values_.get(); }
  uint32_t capacity() const { return capacity_; }
  void clear() { count = end_count = taken = ends_taken = 0; }

  static constexpr uint32_t max_ends = 1024;
  uint32_t count = 0;
  uint32_t ends[max_ends];
  uint32_t end_count = 0;
  uint32_t taken = 0;          // values handed on
  uint32_t ends_taken = 0;     // empty lines handed on
  const char* stop = nullptr;  // where parsing stopped: the next line to read

 private:
  std::unique_ptr<Value[]> values_;
  uint32_t capacity_;
};

namespace detail {

using line_parse::load8;
using line_parse::pack8;

// The position of x's lowest set bit; x is never 0.
inline unsigned lowest(uint64_t x) {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctzll(x));  // std::countr_zero would test for 0
#else
  return static_cast<unsigned>(std::countr_zero(x));
#endif
}

// Per number of n digits (1 to 8): the mask that keeps the last n of the 8
// bytes before its dot, as digit values; and the least value without a
// leading zero. Zero for any other n, which the length check refuses.
struct digit_tables {
  uint64_t keep[16];
  uint32_t smallest[16];
};
inline constexpr digit_tables tables = [] {
  digit_tables t{};
  for (int n = 1; n <= 8; ++n) {
    t.keep[n] = (~uint64_t{0} << (64 - 8 * n)) & 0x0F0F0F0F0F0F0F0F;
    t.smallest[n] = n == 1 ? 0 : 1;
    for (int i = 1; i < n; ++i) t.smallest[n] *= 10;
  }
  return t;
}();

// The value of eight digit values, the first in the lowest byte.
inline uint64_t eight_digits(uint64_t v) {
  v = (v * 2561 >> 8) & 0x00FF00FF00FF00FF;
  v = (v * 6553601 >> 16) & 0x0000FFFF0000FFFF;
  return v * 42949672960001 >> 32;
}

}  // namespace detail

// The two steps that see every byte, in 64-bit words on any machine.
struct words {
  // Bit i is set where p[i] is not a digit, for i < Bytes.
  template <int Bytes>
  static uint64_t nondigits(const char* p) {
    uint64_t digits = 0;
    for (int i = 0; i < Bytes / 8; ++i) {
      // High bit of each byte that is a digit; no carry crosses a byte.
      const uint64_t t = detail::load8(p + 8 * i) ^ 0x3030303030303030;
      const uint64_t other = ((t & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | t;
      const uint64_t high = ~other & 0x8080808080808080;
      digits |= ((high >> 7) * 0x0102040810204080 >> 56) << (8 * i);
    }
    return ~digits & (Bytes == 64 ? ~uint64_t{0} : (uint64_t{1} << Bytes) - 1);
  }

  // Converts the numbers whose dots are at p + dot[i], of digits[i] digits,
  // into `out`; nonzero when one has a leading zero.
  template <class Value>
  static uint64_t convert(const char* p, const uint64_t* dot, const uint64_t* digits, Value* out) {
    constexpr int fields = layout<Value>::fields;
    uint64_t bad = 0;
    int32_t numbers[fields];
    for (int i = 0; i < fields; ++i) {
      const uint64_t n = digits[i] & 15;
      const uint64_t v =
          detail::eight_digits(detail::load8(p + dot[i] - 8) & detail::tables.keep[n]);
      bad |= v < detail::tables.smallest[n];
      numbers[i] = static_cast<int32_t>(v);
    }
    *out = make<Value>(numbers);
    return bad;
  }
};

#ifdef SHEETGEN_LINE_BATCH_SSE2
// The same with SSE2: 16 bytes a compare, and the numbers of a line
// converted side by side, two to a register.
struct sse2 {
  template <int Bytes>
  static uint64_t nondigits(const char* p) {
    // Shifted so that '0' .. '9' are the ten smallest signed bytes.
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - '0'));
    const __m128i past_nine = _mm_set1_epi8(static_cast<char>(0x8A));
    uint64_t digits = 0;
    for (int i = 0; i < Bytes / 16; ++i) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const int m = _mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(x, shift), past_nine));
      digits |= uint64_t{static_cast<uint32_t>(m)} << (16 * i);
    }
    return ~digits & (Bytes == 64 ? ~uint64_t{0} : (uint64_t{1} << Bytes) - 1);
  }

  template <class Value>
  static uint64_t convert(const char* p, const uint64_t* dot, const uint64_t* digits, Value* out) {
    constexpr int fields = layout<Value>::fields;
    const auto low = [](const void* at) {
      return _mm_loadl_epi64(static_cast<const __m128i*>(at));
    };
    const auto number = [&](int i) {
      return _mm_and_si128(low(p + dot[i] - 8), low(&detail::tables.keep[digits[i] & 15]));
    };
    const auto smallest = [&](int i) {
      return _mm_cvtsi32_si128(static_cast<int>(detail::tables.smallest[digits[i] & 15]));
    };
    const __m128i zero = _mm_setzero_si128();
    const __m128i tens = _mm_set1_epi32(0x0001000A);
    const __m128i hundreds = _mm_set1_epi32(0x00010064);
    // One 16-bit lane a digit, two numbers a register; then pairs, fours
    // and eights of digits summed in three multiply-adds.
    const __m128i a = _mm_unpacklo_epi64(number(0), number(1));
    const __m128i pairs_a = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(a, zero), tens),
                                            _mm_madd_epi16(_mm_unpackhi_epi8(a, zero), tens));
    __m128i pairs_b;
    __m128i least_b;
    if constexpr (fields == 4) {
      const __m128i b = _mm_unpacklo_epi64(number(2), number(3));
      pairs_b = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(b, zero), tens),
                                _mm_madd_epi16(_mm_unpackhi_epi8(b, zero), tens));
      least_b = _mm_unpacklo_epi32(smallest(2), smallest(3));
    } else {
      const __m128i b = _mm_madd_epi16(_mm_unpacklo_epi8(number(2), zero), tens);
      pairs_b = _mm_packs_epi32(b, b);
      least_b = _mm_unpacklo_epi32(smallest(2), smallest(2));
    }
    const __m128i values = _mm_madd_epi16(
        _mm_packs_epi32(_mm_madd_epi16(pairs_a, hundreds), _mm_madd_epi16(pairs_b, hundreds)),
        _mm_set1_epi32(0x00012710));  // 10000 and 1
    const __m128i least = _mm_unpacklo_epi64(_mm_unpacklo_epi32(smallest(0), smallest(1)), least_b);
    constexpr const int* order = layout<Value>::order;
    constexpr int shuffle =
        order[0] | order[1] << 2 | order[2] << 4 | (fields == 4 ? order[3] : 3) << 6;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi32(values, shuffle));
    return static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi32(least, values)));
  }
};
using native = sse2;
#else
using native = words;
#endif

#ifdef SHEETGEN_LINE_BATCH_AVX2
// With AVX2: 32 bytes a compare; the numbers of a line in one register,
// digit pairs summed without unpacking them first. BMI makes taking a
// mask's lowest bit one instruction.
struct avx2 {
  static bool supported() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2");
  }

  template <int Bytes>
  SHEETGEN_AVX2_CODE static uint64_t nondigits(const char* p) {
    const __m256i shift = _mm256_set1_epi8(static_cast<char>(0x80 - '0'));
    const __m256i past_nine = _mm256_set1_epi8(static_cast<char>(0x8A));
    uint64_t digits = 0;
    for (int i = 0; i < (Bytes + 31) / 32; ++i) {  // 48 bytes: the 16 past them are ignored
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
      const int m = _mm256_movemask_epi8(_mm256_cmpgt_epi8(past_nine, _mm256_add_epi8(x, shift)));
      digits |= uint64_t{static_cast<uint32_t>(m)} << (32 * i);
    }
    return ~digits & (Bytes == 64 ? ~uint64_t{0} : (uint64_t{1} << Bytes) - 1);
  }

  template <class Value>
  SHEETGEN_AVX2_CODE static uint64_t convert(const char* p, const uint64_t* dot,
                                             const uint64_t* digits, Value* out) {
    constexpr int fields = layout<Value>::fields;
    constexpr int last = fields - 1;  // the fourth lane repeats the third when there are three
    const auto low = [](const void* at) {
      return _mm_loadl_epi64(static_cast<const __m128i*>(at));
    };
    const auto pair = [&](const char* a, const char* b) {
      return _mm_unpacklo_epi64(low(a), low(b));
    };
    const auto keep = [&](int i) { return &detail::tables.keep[digits[i] & 15]; };
    const auto smallest = [&](int i) {
      return static_cast<int>(detail::tables.smallest[digits[i] & 15]);
    };
    const __m256i numbers =
        _mm256_and_si256(_mm256_set_m128i(pair(p + dot[2] - 8, p + dot[last] - 8),
                                          pair(p + dot[0] - 8, p + dot[1] - 8)),
                         _mm256_set_m128i(_mm_unpacklo_epi64(low(keep(2)), low(keep(last))),
                                          _mm_unpacklo_epi64(low(keep(0)), low(keep(1)))));
    const __m256i pairs = _mm256_maddubs_epi16(numbers, _mm256_set1_epi16(0x010A));
    const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
    // Per 128-bit lane: the numbers' fours, then the numbers; lane 0 holds
    // numbers 0 and 1 at 0 and 1, lane 1 numbers 2 and 3 at 4 and 5.
    const __m256i values =
        _mm256_madd_epi16(_mm256_packus_epi32(fours, fours), _mm256_set1_epi32(0x00012710));
    constexpr int at[4] = {0, 1, 4, 5};
    constexpr const int* order = layout<Value>::order;
    const __m128i ordered = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
        values, _mm256_setr_epi32(at[order[0]], at[order[1]], at[order[2]],
                                  at[order[fields == 4 ? 3 : 0]], 0, 0, 0, 0)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), ordered);
    const __m128i least = _mm_setr_epi32(smallest(order[0]), smallest(order[1]), smallest(order[2]),
                                         smallest(order[fields == 4 ? 3 : 0]));
    return static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpgt_epi32(least, ordered)));
  }
};
#endif

#if defined(__GNUC__) || defined(__clang__)
// Into parse_avx2, to be compiled for AVX2 there.
#define SHEETGEN_LINE_BATCH_INLINE [[gnu::always_inline]] inline
#else
#define SHEETGEN_LINE_BATCH_INLINE inline
#endif

namespace detail {

// Where one run of lines is read from and where its values and empty
// lines go.
template <class Value>
struct cursor {
  const char* p;
  Value* out;
  uint32_t* ends;  // per empty line: the values before it, from `first`
  uint32_t* ends_full;
  const Value* first;
};

// Takes the line at c.p into c; false, with c as it was, for a line the
// fast path leaves to the careful parser (or an empty line without room).
template <class Value, class Steps>
SHEETGEN_LINE_BATCH_INLINE bool take_line(cursor<Value>& c) {
  constexpr int fields = layout<Value>::fields;
  // A good line of numbers of up to 8 digits has its last dot before byte
  // 8 + 16 * (fields - 1), inside the mask. The bits above that are set as
  // well: enough that the mask never runs out of bits, and too far for any
  // number to end there, so that a line without enough dots is refused by
  // the length checks.
  constexpr int window = fields == 3 ? 48 : 64;
  constexpr int last_dot = 8 + 16 * (fields - 1);
  static_assert(last_dot < window && window + 8 <= int{reach_ahead});
  constexpr uint64_t beyond = ~uint64_t{0} << (last_dot + 1);
  static_assert(std::popcount(beyond) >= 2 * fields - 1);
  const char* const p = c.p;
  uint64_t mask = Steps::template nondigits<window>(p) | beyond;
  uint64_t dot[fields];
  uint64_t digits[fields];
  dot[0] = lowest(mask);
  if (dot[0] == 0) {  // an empty line, or one for the careful parser
    if (*p != '\n' || c.ends == c.ends_full) return false;
    *c.ends++ = static_cast<uint32_t>(c.out - c.first);
    ++c.p;
    return true;
  }
  digits[0] = dot[0];
  uint64_t bad = load8(p + dot[0]) ^ pack8(".000000\t");
  uint64_t lengths = digits[0] - 1;
  for (int i = 1; i < fields; ++i) {
    // Past the previous dot and the tab after it (which the compare
    // above requires 7 bytes on: a wrong line fails one way or the other).
    mask &= mask - 1;
    mask &= mask - 1;
    dot[i] = lowest(mask);
    digits[i] = dot[i] - dot[i - 1] - 8;
    lengths |= digits[i] - 1;
    bad |= load8(p + dot[i]) ^ pack8(i + 1 < fields ? ".000000\t" : ".000000\n");
  }
  bad |= lengths > 7;  // every number 1 to 8 digits
  bad |= Steps::convert(p, dot, digits, c.out);
  if (bad != 0) return false;
  ++c.out;
  c.p = p + dot[fields - 1] + 8;
  return true;
}

}  // namespace detail

// Parses lines from `p` into `b` while they start before `limit`, are as
// the writer writes them with an LF end and numbers of at most 8 digits,
// and fit in `b`; returns where it stopped. The bytes from reach_back
// before any line to reach_ahead after its start must be readable.
//
// Each line's place depends on the line before, a chain of some 30 cycles
// that would leave the processor idle; so a long stretch is taken as two
// halves side by side, the second kept only when the first reaches it.
template <class Value, class Steps = native>
SHEETGEN_LINE_BATCH_INLINE const char* parse(const char* p, const char* limit, batch<Value>& b) {
  using detail::cursor;
  using detail::take_line;
  constexpr std::ptrdiff_t shortest = 9 * layout<Value>::fields;  // "1.000000\t..."
  Value* const values = b.values();
  uint32_t* const ends_full = b.ends + b.max_ends;
  cursor<Value> one{p, values + b.count, b.ends + b.end_count, ends_full, values};
  // At most as many lines as fit.
  const std::ptrdiff_t room = (b.capacity() - b.count) * shortest;
  const char* const end = limit - p > room ? p + room : limit;
  const char* middle = end;
  if (end - p >= 4096 && b.end_count < b.max_ends / 2) {
    const char* lf = static_cast<const char*>(std::memchr(p + (end - p) / 2, '\n', (end - p) / 2));
    if (lf != nullptr) middle = lf + 1;
  }
  if (middle < end) {
    // The second half's values and empty lines after all the first can have.
    Value* const second = values + b.count + (middle - p) / shortest;
    uint32_t* const second_ends = b.ends + (b.end_count + b.max_ends) / 2;
    cursor<Value> two{middle, second, second_ends, ends_full, second};
    one.ends_full = second_ends;
    bool going = true;
    while (one.p < middle && two.p < end && going) {
      going = take_line<Value, Steps>(one);
      going = take_line<Value, Steps>(two) && going;
    }
    while (one.p < middle && take_line<Value, Steps>(one)) {
    }
    if (one.p == middle) {
      while (two.p < end && take_line<Value, Steps>(two)) {
      }
      // Join the halves.
      const auto before = static_cast<uint32_t>(one.out - values);
      std::memmove(one.out, second, static_cast<std::size_t>(two.out - second) * sizeof(Value));
      one.out += two.out - second;
      for (const uint32_t* e = second_ends; e < two.ends; ++e) *one.ends++ = before + *e;
      one.p = two.p;
    }
  } else {
    while (one.p < end && take_line<Value, Steps>(one)) {
    }
  }
  b.count = static_cast<uint32_t>(one.out - values);
  b.end_count = static_cast<uint32_t>(one.ends - b.ends);
  return one.p;
}

#ifdef SHEETGEN_LINE_BATCH_AVX2
template <class Value>
[[gnu::target("avx2,bmi,bmi2")]] const char* parse_avx2(const char* p, const char* limit,
                                                        batch<Value>& b) {
  return parse<Value, avx2>(p, limit, b);
}
#endif

// parse, as fast as this processor runs it.
template <class Value>
using parser = const char* (*)(const char* p, const char* limit, batch<Value>& b);

template <class Value>
parser<Value> fastest_parser() {
#ifdef SHEETGEN_LINE_BATCH_AVX2
  if (avx2::supported()) return &parse_avx2<Value>;
#endif
  return &parse<Value, native>;
}

}  // namespace sheetgen::line_batch

#endif  // SHEETGEN_LINE_BATCH_H_
