// The referee's verdicts held to an independent brute force on random
// certificates: rectangle certificates judged cell by cell on a small grid
// (with grouped COPIES, second bins and turned items among them), and
// random cutting trees judged by trying both first orientations (with
// uncut levels, COPIES and every orientation rule).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "solutions/solution_check.h"
#include "solutions/solution_reader.h"

namespace sheetkit {
namespace {

solution read(const std::string& text) {
  std::istringstream in(text);
  solution_reader reader(in, "random.csv");
  solution s;
  reader.next(s);
  return s;
}

std::string csv(std::initializer_list<int64_t> values) {
  std::string s;
  for (const int64_t v : values) {
    if (!s.empty()) s += ',';
    s += std::to_string(v);
  }
  return s;
}

// One random rectangle certificate on an 8 x 8 object, and its verdict
// found by painting cells.
struct rectangle_case {
  std::vector<rectangle> types;
  std::vector<placed_defect> defects;
  solution_rules rules;
  std::string text;
  bool feasible = true;
};

constexpr int64_t side = 8;

rectangle_case random_rectangle_case(std::mt19937_64& rng) {
  const auto pick = [&](int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
  };
  const auto chance = [&](int percent) { return pick(1, 100) <= percent; };
  rectangle_case c;
  for (int64_t k = pick(1, 3); k > 0; --k)
    c.types.push_back(
        rectangle::of(static_cast<int32_t>(pick(1, 4)), static_cast<int32_t>(pick(1, 4))));
  for (int64_t k = pick(0, 2); k > 0; --k) {
    const auto x = static_cast<int32_t>(pick(0, side - 1)),
               y = static_cast<int32_t>(pick(0, side - 1));
    c.defects.push_back({x, y, x + 1, y + 1});
  }
  c.rules.copies = chance(30) ? unlimited_copies : pick(1, 2);
  c.rules.rotation = chance(50);
  c.rules.max_violations = 1;
  std::string& t = c.text;
  t = std::string(rectangle_header) + "\n";
  bool& ok = c.feasible;
  // The bin: the one object, or now and then another, a second or a copy.
  const int64_t bin_copies = chance(8) ? 2 : 1;
  const int64_t bin_position = chance(5) ? 1 : 0;
  t += "BIN," + csv({0, bin_copies, bin_position, 0, 0, side, side}) + ",\n";
  ok = ok && bin_copies == 1 && bin_position == 0;
  if (chance(5)) {
    t += "BIN," + csv({0, 1, 1, 0, 0, side, side}) + ",\n";
    ok = false;
  }
  for (std::size_t k = 0; k < c.defects.size(); ++k) {
    const placed_defect& d = c.defects[k];
    const int64_t bin = chance(5) ? 1 : 0;
    ok = ok && bin == 0;
    t += "DEFECT," + csv({static_cast<int64_t>(k), 1, bin, d.x1, d.y1, 1, 1}) + ",\n";
  }
  std::vector<std::vector<int>> cover(side, std::vector<int>(side, 0));
  for (const placed_defect& d : c.defects) cover[d.x1][d.y1] = 2;  // a defect is taken twice over
  std::map<int64_t, int64_t> used;
  for (int64_t k = pick(0, 5); k > 0; --k) {
    const int64_t type = chance(4) ? static_cast<int64_t>(c.types.size())
                                   : pick(0, static_cast<int64_t>(c.types.size()) - 1);
    const rectangle& r =
        c.types[static_cast<std::size_t>(std::min<int64_t>(type, c.types.size() - 1))];
    const bool turn = chance(40);
    int64_t l = turn ? r.width : r.length, w = turn ? r.length : r.width;
    if (chance(4)) ++l;
    const int64_t copies = chance(15) ? pick(2, 3) : 1;
    const int64_t bin = chance(4) ? 1 : 0;
    const int64_t x = pick(-1, side - 1), y = pick(-1, side - 1);
    t += "ITEM," + csv({type, copies, bin, x, y, l, w, 0}) + "\n";
    const bool known = type < static_cast<int64_t>(c.types.size());
    const bool as_is = known && l == r.length && w == r.width;
    const bool turned = known && l == r.width && w == r.length;
    ok = ok && known && copies == 1 && bin == 0 && (as_is || (turned && c.rules.rotation));
    ok = ok && x >= 0 && y >= 0 && x + l <= side && y + w <= side;
    if (known) ++used[type];
    if (bin != 0) continue;
    for (int64_t i = std::max<int64_t>(x, 0); i < std::min(x + l, side); ++i)
      for (int64_t j = std::max<int64_t>(y, 0); j < std::min(y + w, side); ++j)
        ok = ok && ++cover[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] == 1;
  }
  for (const auto& [type, n] : used)
    ok = ok && (c.rules.copies == unlimited_copies || n <= c.rules.copies);
  return c;
}

TEST(SolutionBruteForce, RectangleCertificatesAreFeasibleExactlyWhenEveryCellSaysSo) {
  std::mt19937_64 rng(2026);
  int feasible = 0, infeasible = 0;
  constexpr int cases = 4000;
  for (int round = 0; round < cases; ++round) {
    const rectangle_case c = random_rectangle_case(rng);
    const solution_report r =
        check_solution({rectangle::of(side, side), c.types, c.defects}, read(c.text), c.rules);
    ASSERT_EQ(r.feasible(), c.feasible)
        << "round " << round << "\n"
        << c.text << (r.lines().empty() ? std::string("(no violation)") : r.lines().front());
    (c.feasible ? feasible : infeasible)++;
  }
  // Both verdicts are common, or the cases test little.
  EXPECT_GT(feasible, cases / 10);
  EXPECT_GT(infeasible, cases / 10);
  std::cout << "rectangle certificates: " << cases << " random cases, " << feasible
            << " feasible, 0 disagreements\n";
}

// A random cutting tree of the 12 x 12 object: every node tiled exactly by
// its pieces, so that only the orientation, stage and copies rules decide.
struct tree_case {
  std::string text;
  std::vector<rectangle> types;
  int64_t stages = 3;
  bool non_exact = true;
  // Sound under a first level of vertical / horizontal cuts.
  bool under[2] = {true, true};
  bool copies_ok = true;
};

struct tree_builder {
  std::mt19937_64& rng;
  tree_case& c;
  int64_t next_id = 0;
  std::map<std::pair<int64_t, int64_t>, int64_t> type_of;

  int64_t pick(int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
  }
  bool chance(int percent) { return pick(1, 100) <= percent; }

  int64_t item_type(int64_t l, int64_t w) {
    const auto [it, fresh] =
        type_of.emplace(std::make_pair(l, w), static_cast<int64_t>(c.types.size()));
    if (fresh) c.types.push_back(rectangle::of(static_cast<int32_t>(l), static_cast<int32_t>(w)));
    return it->second;
  }

  void row(int64_t id, int64_t x, int64_t y, int64_t l, int64_t w, int64_t type, int64_t depth,
           int64_t parent) {
    const int64_t copies = chance(2) ? 2 : 1;
    c.copies_ok = c.copies_ok && copies == 1;
    c.text += csv({0, copies, id, x, y, l, w, type, depth});
    c.text += ',';
    if (parent >= 0) c.text += std::to_string(parent);
    c.text += '\n';
  }

  // Node `id` at depth `depth`, a branch already written, cut into pieces
  // (or passed on whole), each a leaf or grown further.
  void grow(int64_t id, int64_t x, int64_t y, int64_t l, int64_t w, int64_t depth) {
    struct piece {
      int64_t x, y, l, w;
    };
    std::vector<piece> pieces;
    bool along_x = true;
    const int64_t level = depth + 1;
    if (chance(15) || (l < 2 && w < 2)) {
      pieces.push_back({x, y, l, w});  // passed on whole
    } else {
      along_x = w < 2 || (l >= 2 && chance(50));
      const int64_t extent = along_x ? l : w;
      const int64_t n = std::min<int64_t>(extent, pick(2, 3));
      std::vector<int64_t> at;
      while (static_cast<int64_t>(at.size()) < n - 1) {
        const int64_t p = pick(1, extent - 1);
        if (std::find(at.begin(), at.end(), p) == at.end()) at.push_back(p);
      }
      std::sort(at.begin(), at.end());
      at.insert(at.begin(), 0);
      at.push_back(extent);
      for (std::size_t k = 0; k + 1 < at.size(); ++k) {
        const int64_t from = at[k], len = at[k + 1] - at[k];
        pieces.push_back(along_x ? piece{x + from, y, len, w} : piece{x, y + from, l, len});
      }
      // Cut: its orientation holds under first orientation f when it is f
      // at odd levels and the other at even ones.
      for (const int f : {0, 1}) {
        const bool first_vertical = f == 0;
        const bool expected = level % 2 == 1 ? first_vertical : !first_vertical;
        c.under[f] = c.under[f] && expected == along_x;
      }
    }
    std::vector<int64_t> kinds;  // per piece: item type, -1 waste, -2 branch
    std::vector<int64_t> ids;
    for (const piece& p : pieces) {
      const bool deeper = level < 5 && chance(55);
      const int64_t kind = deeper ? -2 : chance(60) ? item_type(p.l, p.w) : -1;
      kinds.push_back(kind);
      ids.push_back(++next_id);
      row(ids.back(), p.x, p.y, p.l, p.w, kind, level, id);
    }
    if (level > c.stages) {
      int items = 0, wastes = 0;
      for (const int64_t k : kinds) {
        items += k >= 0 ? 1 : 0;
        wastes += k == -1 ? 1 : 0;
      }
      const bool trim = c.non_exact && level == c.stages + 1 && items == 1 &&
                        items + wastes == static_cast<int>(kinds.size());
      if (!trim) c.under[0] = c.under[1] = false;
    }
    for (std::size_t k = 0; k < pieces.size(); ++k)
      if (kinds[k] == -2) grow(ids[k], pieces[k].x, pieces[k].y, pieces[k].l, pieces[k].w, level);
  }
};

TEST(SolutionBruteForce, CuttingTreesAreSoundUnderAnyExactlyWhenUnderOneOfTheTwo) {
  std::mt19937_64 rng(29);
  constexpr int cases = 3000;
  int sound_any = 0, only_one = 0;
  for (int round = 0; round < cases; ++round) {
    tree_case c;
    tree_builder b{rng, c, 0, {}};
    c.stages = b.pick(1, 4);
    c.non_exact = b.chance(50);
    c.text = std::string(guillotine_header) + "\n";
    b.row(0, 0, 0, 12, 12, 0, 0, -1);
    b.grow(0, 0, 0, 12, 12, 0);
    const solution s = read(c.text);
    solution_rules rules;
    rules.copies = unlimited_copies;
    rules.max_violations = 1;
    rules.guillotine.number_of_stages = c.stages;
    rules.guillotine.non_exact = c.non_exact;
    const solution_instance target{rectangle::of(12, 12), c.types, {}};
    const stage_orientation orientations[] = {
        stage_orientation::vertical, stage_orientation::horizontal, stage_orientation::any};
    for (int o = 0; o < 3; ++o) {
      rules.guillotine.first_stage_orientation = orientations[o];
      const bool expected = c.copies_ok && (o < 2 ? c.under[o] : c.under[0] || c.under[1]);
      const solution_report r = check_solution(target, s, rules);
      ASSERT_EQ(r.feasible(), expected)
          << "round " << round << ", orientation " << o << "\n"
          << c.text << (r.lines().empty() ? std::string("(no violation)") : r.lines().front());
    }
    sound_any += c.copies_ok && (c.under[0] || c.under[1]);
    only_one += c.copies_ok && c.under[0] != c.under[1];
  }
  EXPECT_GT(sound_any, cases / 10);
  EXPECT_GT(only_one, cases / 20);
  std::cout << "cutting trees: " << cases << " random cases under 3 orientations, " << sound_any
            << " sound under any, 0 disagreements\n";
}

}  // namespace
}  // namespace sheetkit
