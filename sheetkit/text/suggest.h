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

/// What a table's --columns list may name, and how it is told so.
struct column_list {
  std::vector<std::string> known;      ///< the columns, by the CSV's names
  std::vector<std::string> all;        ///< what "all" stands for
  std::vector<std::string> names_row;  ///< the row's own name columns, taken and left out
  std::string hint;                    ///< after an unknown name with no near one
  std::string besides;                 ///< "the name": what a list of nothing else leaves
};

/// "utilisation,gap" as columns of `list`, in the order given, "all" as
/// list.all. Throws std::invalid_argument with the message to show for an
/// empty name, an unknown one ("did you mean ...?"), one named twice, or a
/// list of nothing but the row's names.
std::vector<std::string> columns_named(const std::string& given, const column_list& list);

}  // namespace sheetkit

#endif  // SHEETKIT_SUGGEST_H_
