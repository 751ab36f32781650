#include "text/suggest.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <stdexcept>

namespace sheetkit {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edits that turn a into b: insertions, deletions, substitutions and swaps
// of neighbours, each counted once; case is ignored.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
          lower(a[i - 2]) == lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string> nearest(std::string_view word,
                                   const std::vector<std::string>& candidates) {
  const std::size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
  // One slip in a name of three to five letters, two in a longer one; in
  // two letters any guess is as good as another.
  const std::size_t allowed = letters < 3 ? 0 : letters <= 5 ? 1 : 2;
  std::optional<std::string> best;
  std::size_t best_distance = allowed + 1;
  bool tied = false;
  for (const std::string& c : candidates) {
    const std::size_t d = distance(word, c);
    if (d < best_distance) {
      best = c;
      best_distance = d;
      tied = false;
    } else if (d == best_distance) {
      tied = true;
    }
  }
  if (best && !tied) return best;
  if (best_distance == 0) return best;  // the same name listed twice

  // "--obj" for --object: the start of one name only.
  if (letters < 3) return std::nullopt;
  std::optional<std::string> started;
  for (const std::string& c : candidates) {
    if (c.size() > word.size() && distance(word, c.substr(0, word.size())) == 0) {
      if (started) return std::nullopt;
      started = c;
    }
  }
  return started;
}

std::string one_of(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

std::vector<std::string> columns_named(const std::string& given, const column_list& list) {
  const auto listed = [](const std::vector<std::string>& in, const std::string& name) {
    return std::find(in.begin(), in.end(), name) != in.end();
  };
  std::vector<std::string> names;
  std::string_view rest = given;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string name(rest.substr(0, comma));
    if (name.empty())
      throw std::invalid_argument("--columns takes names separated by commas, not \"" + given +
                                  "\"");
    if (name == "all") {
      names.insert(names.end(), list.all.begin(), list.all.end());
    } else if (listed(list.known, name)) {
      names.push_back(name);
    } else if (!listed(list.names_row, name)) {
      std::vector<std::string> candidates = list.known;
      candidates.push_back("all");
      const std::optional<std::string> guess = nearest(name, candidates);
      throw std::invalid_argument("--columns: no column is named \"" + name + "\"" +
                                  (guess ? "; did you mean " + *guess + "?" : " " + list.hint));
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  for (std::size_t k = 0; k < names.size(); ++k)
    if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(k), names[k]) !=
        names.begin() + static_cast<std::ptrdiff_t>(k))
      throw std::invalid_argument("--columns names " + names[k] + " twice");
  if (names.empty())
    throw std::invalid_argument("--columns: give a column besides " + list.besides);
  return names;
}

}  // namespace sheetkit
