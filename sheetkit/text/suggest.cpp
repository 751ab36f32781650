#include "text/suggest.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

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

}  // namespace sheetkit
