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
  uint32_t taken = 0;       // values handed on
  uint32_t ends_taken = 0;  // empty lines handed on
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
    const __m128i values =
        _mm_madd_epi16(_mm_packs_epi32(_mm_madd_epi16(pairs_a, hundreds),
                                       _mm_madd_epi16(pairs_b, hundreds)),
                       _mm_set1_epi32(0x00012710));  // 10000 and 1
    const __m128i least =
        _mm_unpacklo_epi64(_mm_unpacklo_epi32(smallest(0), smallest(1)), least_b);
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


// Parses lines from `p` into `b` while they start before `limit`, are as
// the writer writes them with an LF end and numbers of at most 8 digits,
// and fit in `b`; returns where it stopped. The bytes from reach_back
// before any line to reach_ahead after its start must be readable.
template <class Value, class Steps = native>
const char* parse(const char* p, const char* limit, batch<Value>& b) {
  using detail::load8;
  using detail::lowest;
  using detail::pack8;
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
  Value* out = b.values() + b.count;
  Value* const full = b.values() + b.capacity();
  while (p < limit && out < full) {
    uint64_t mask = Steps::template nondigits<window>(p) | beyond;
    uint64_t dot[fields];
    uint64_t digits[fields];
    dot[0] = lowest(mask);
    if (dot[0] == 0) {  // an empty line, or one for the careful parser
      if (*p != '\n' || b.end_count == b.max_ends) break;
      b.ends[b.end_count++] = static_cast<uint32_t>(out - b.values());
      ++p;
      continue;
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
    bad |= Steps::convert(p, dot, digits, out);
    if (bad != 0) break;
    ++out;
    p += dot[fields - 1] + 8;
  }
  b.count = static_cast<uint32_t>(out - b.values());
  return p;
}

}  // namespace sheetgen::line_batch

#endif  // SHEETGEN_LINE_BATCH_H_
