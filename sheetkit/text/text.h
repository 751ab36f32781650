// Small pieces of text that several commands write or read the same way.
#ifndef SHEETKIT_TEXT_H_
#define SHEETKIT_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sheetkit {

// "1 block", "2 blocks": `noun` with an "s" unless n is 1.
std::string count_of(int64_t n, std::string_view noun);

// A positive integer as users write one on a command line: decimal digits
// only, no sign, no leading zero, at most 18 digits (so that it fits 64
// bits); nothing for anything else.
std::optional<int64_t> parse_positive(std::string_view digits);

// The shortest decimal that reads back as the same number: 0.1f as "0.1",
// not "0.10000000149011612"; in exponent form where that is shorter
// ("1e-06"). Every writer of a bound or a figure for scripts uses these, so
// that one value never reads two ways.
std::string shortest_text(float f);
std::string shortest_text(double d);

// The same without exponent form, for people: 0.000001f as "0.000001".
std::string shortest_fixed(float f);

// `v` with `decimals` decimals, as printf's %.*f writes it, whole at any
// magnitude.
std::string fixed_text(double v, int decimals);

// A share as a percentage with three decimals: 0.52589 as "52.589%".
std::string percent_text(double share);

// A CSV field: quoted when it holds a comma, a quote or a line end, its
// quotes doubled.
std::string csv_field(std::string_view s);

// `s` padded with spaces to `width` code points (UTF-8), on the right when
// `left` (flush left), else on the left.
std::string padded(std::string_view s, std::size_t width, bool left);

// A duration in seconds for people: three decimals, and more where they
// would show nothing but zeros, for two significant digits (0.14 ms as
// "0.00014", not "0.000").
std::string seconds_text(double seconds);

}  // namespace sheetkit

#endif  // SHEETKIT_TEXT_H_
