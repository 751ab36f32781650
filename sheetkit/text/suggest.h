// The name a user probably meant: "chek" is check, "--answer" is --answers.
#ifndef SHEETKIT_SUGGEST_H_
#define SHEETKIT_SUGGEST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetkit {

/// The one candidate nearest to `word`, when it is near enough to be what
/// was meant: a typing slip (a letter missing, extra, wrong or two swapped;
/// two slips in longer names, upper or lower case alike) or the start of
/// exactly one candidate. Leading dashes count as part of the word but not
/// towards its length. Nothing when no candidate, or more than one, fits
/// as well: a guess that may be wrong is worse than none.
std::optional<std::string> nearest(std::string_view word,
                                   const std::vector<std::string>& candidates);

/// "a, b or c".
std::string one_of(const std::vector<std::string>& names);

}  // namespace sheetkit

#endif  // SHEETKIT_SUGGEST_H_
