#include "solutions/guillotine_check.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace sheetkit {

namespace {

std::string node_name(const cut_node& n) {
  std::string s = "node " + std::to_string(n.id);
  if (n.type >= 0 && n.parent >= 0) s += " (item type " + std::to_string(n.type) + ")";
  if (n.type == node_waste) s += " (waste)";
  return s;
}

// A sum that stops at the largest int64: a hostile certificate's
// coordinates must not wrap round into a tiling that fits.
int64_t plus(int64_t a, int64_t b) {
  int64_t r = 0;
  return __builtin_add_overflow(a, b, &r) ? (b < 0 ? INT64_MIN : INT64_MAX) : r;
}

int64_t minus(int64_t a, int64_t b) {
  int64_t r = 0;
  return __builtin_sub_overflow(a, b, &r) ? (b < 0 ? INT64_MAX : INT64_MIN) : r;
}

const char* orientation_name(bool along_x) { return along_x ? "vertical" : "horizontal"; }

// The defects a cut may cross, found without going through them all: along
// one axis, sorted by their low end, with the largest high end of each
// range of that order in a tree, so that a cut meets only the branches
// that hold a defect reaching past it. O(log n) per defect found.
class crossing_defects {
 public:
  crossing_defects(std::span<const placed_defect> defects, bool along_x) {
    const std::size_t n = defects.size();
    order_.resize(n);
    for (std::size_t k = 0; k < n; ++k) order_[k] = k;
    const auto lo = [&](std::size_t k) { return along_x ? defects[k].x1 : defects[k].y1; };
    std::sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) { return lo(a) < lo(b); });
    low_.resize(n);
    while (size_ < n) size_ <<= 1;
    high_.assign(2 * size_, INT64_MIN);
    for (std::size_t i = 0; i < n; ++i) {
      low_[i] = lo(order_[i]);
      high_[size_ + i] = along_x ? defects[order_[i]].x2 : defects[order_[i]].y2;
    }
    for (std::size_t i = size_ - 1; i > 0; --i) high_[i] = std::max(high_[2 * i], high_[2 * i + 1]);
  }

  // The defects that reach below `to` and above `from` along the axis, by
  // their index.
  void find(int64_t from, int64_t to, std::vector<std::size_t>& out) const {
    out.clear();
    const auto below = static_cast<std::size_t>(
        std::lower_bound(low_.begin(), low_.end(), to) - low_.begin());
    collect(1, 0, size_, below, from, out);
    std::sort(out.begin(), out.end());
  }

 private:
  void collect(std::size_t node, std::size_t begin, std::size_t end, std::size_t below,
               int64_t from, std::vector<std::size_t>& out) const {
    if (begin >= below || high_[node] <= from) return;
    if (end - begin == 1) {
      out.push_back(order_[begin]);
      return;
    }
    const std::size_t middle = begin + (end - begin) / 2;
    collect(2 * node, begin, middle, below, from, out);
    collect(2 * node + 1, middle, end, below, from, out);
  }

  std::vector<std::size_t> order_;  // defect indices by their low end
  std::vector<int64_t> low_;        // their low ends, in that order
  std::vector<int64_t> high_;       // a tree of the largest high end over that order
  std::size_t size_ = 1;            // leaves of the tree
};

}  // namespace

void check_guillotine_tree(const solution_instance& instance, const solution& s,
                           const guillotine_rules& rules, solution_report& report,
                           std::size_t keep, const std::function<void()>& poll) {
  uint32_t steps = 0;
  const auto step = [&] {
    if ((++steps & 0xfff) == 0 && poll) poll();
  };
  const std::vector<cut_node>& nodes = s.nodes;
  const std::size_t n = nodes.size();
  const auto at = [&](const cut_node& c) { return located(s.file, c.line); };
  const auto add = [&](std::string text, const cut_node* area) {
    violation v{std::move(text)};
    if (area != nullptr) {
      v.has_area = true;
      v.x1 = area->x;
      v.y1 = area->y;
      v.x2 = plus(area->x, area->length);
      v.y2 = plus(area->y, area->width);
    }
    report.add(std::move(v), keep);
  };

  std::unordered_map<int64_t, std::size_t> by_id;
  by_id.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    step();
    by_id.emplace(nodes[k].id, k);
  }

  // Children of each node, in file order.
  std::vector<std::size_t> start(n + 1, 0), child;
  std::map<int64_t, std::vector<std::size_t>> roots;  // by plate
  std::vector<std::size_t> parent_of(n, n);
  for (std::size_t k = 0; k < n; ++k) {
    step();
    if (nodes[k].parent < 0) {
      roots[nodes[k].plate].push_back(k);
      continue;
    }
    const auto p = by_id.find(nodes[k].parent);
    if (p == by_id.end()) {
      add(at(nodes[k]) + ": parent " + std::to_string(nodes[k].parent) + " of node " +
              std::to_string(nodes[k].id) + " is no node of the certificate",
          nullptr);
      continue;
    }
    parent_of[k] = p->second;
    ++start[p->second + 1];
  }
  for (std::size_t k = 0; k < n; ++k) start[k + 1] += start[k];
  child.resize(start[n]);
  {
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t k = 0; k < n; ++k)
      if (parent_of[k] < n) child[fill[parent_of[k]]++] = k;
  }

  // Per plate: its root, and the orientation of its first level. With
  // "any" it is unknown until the first node that is really cut, in level
  // order, fixes it: a tree is sound under "any" exactly when it is under
  // one of the two, and an uncut level fits both.
  struct first_level {
    bool along_x;  // vertical
    int64_t node;  // the node whose cut fixed it; -1 by the rules
    int64_t level;
  };
  std::map<int64_t, first_level> first_along_x;
  std::map<int64_t, int64_t> plate_copies;
  for (const auto& [plate, list] : roots) {
    const cut_node& root = nodes[list.front()];
    if (plate != 0) {
      add(at(root) + ": plate " + std::to_string(plate) + ": the object is one plate, plate 0",
          nullptr);
    }
    if (list.size() > 1) {
      add(at(nodes[list[1]]) + ": plate " + std::to_string(plate) + " has a second root, node " +
              std::to_string(nodes[list[1]].id) + " (the first is node " +
              std::to_string(root.id) + ")",
          nullptr);
    }
    if (root.x != 0 || root.y != 0 || root.length != instance.object.length ||
        root.width != instance.object.width) {
      add(at(root) + ": the root, node " + std::to_string(root.id) + ", is " +
              std::to_string(root.length) + " x " + std::to_string(root.width) + " at (" +
              std::to_string(root.x) + ", " + std::to_string(root.y) + "), not the object, " +
              std::to_string(instance.object.length) + " x " +
              std::to_string(instance.object.width) + " at (0, 0)",
          nullptr);
    }
    if (root.type != 0) {
      add(at(root) + ": the root, node " + std::to_string(root.id) + ", is of bin type " +
              std::to_string(root.type) + "; the object is bin type 0",
          nullptr);
    }
    // A plate's COPIES is the number of identical plates it stands for.
    if (root.copies != 1) {
      add(at(root) + ": plate " + std::to_string(plate) + " has COPIES " +
              std::to_string(root.copies) + ": the object is one plate (COPIES 1)",
          nullptr);
    }
    if (root.depth != 0) {
      add(at(root) + ": the root, node " + std::to_string(root.id) + ", has CUT " +
              std::to_string(root.depth) + ", not 0",
          nullptr);
    }
    plate_copies.emplace(plate, root.copies);
    if (rules.first_stage_orientation == stage_orientation::vertical)
      first_along_x[plate] = {true, -1, 1};
    if (rules.first_stage_orientation == stage_orientation::horizontal)
      first_along_x[plate] = {false, -1, 1};
  }
  if (roots.empty() && n > 0) add(s.file + ": the tree has no root (a node without PARENT)", nullptr);

  // Parents before children, so that a plate's first level is known before
  // deeper levels are held to it.
  std::vector<std::size_t> order;
  order.reserve(n);
  for (const auto& [plate, list] : roots)
    for (const std::size_t r : list) order.push_back(r);
  for (std::size_t i = 0; i < order.size(); ++i)
    for (std::size_t c = start[order[i]]; c < start[order[i] + 1]; ++c) order.push_back(child[c]);

  const std::string stages_rule =
      std::to_string(rules.number_of_stages) + " stages (--number-of-stages " +
      std::to_string(rules.number_of_stages) + ")";
  std::vector<std::size_t> pieces;
  std::optional<crossing_defects> by_x, by_y;  // built when a cut first needs them
  std::vector<std::size_t> crossed;
  for (const std::size_t k : order) {
    step();
    if (start[k] == start[k + 1]) continue;
    const cut_node& p = nodes[k];
    pieces.assign(child.begin() + static_cast<std::ptrdiff_t>(start[k]),
                  child.begin() + static_cast<std::ptrdiff_t>(start[k + 1]));
    if (p.parent >= 0 && p.type != node_branch) {
      add(at(p) + ": " + node_name(p) + " is cut further; only a branch (TYPE -2) is", &p);
    }
    const int64_t level = plus(p.depth, 1);
    for (const std::size_t c : pieces) {
      const auto copies = plate_copies.find(nodes[c].plate);
      if (copies != plate_copies.end() && nodes[c].copies != copies->second) {
        add(at(nodes[c]) + ": " + node_name(nodes[c]) + " has COPIES " +
                std::to_string(nodes[c].copies) + " where its plate, plate " +
                std::to_string(nodes[c].plate) + ", has COPIES " + std::to_string(copies->second),
            &nodes[c]);
      }
      if (nodes[c].depth != level) {
        add(at(nodes[c]) + ": node " + std::to_string(nodes[c].id) + " has CUT " +
                std::to_string(nodes[c].depth) + " where its parent, node " +
                std::to_string(p.id) + ", has CUT " + std::to_string(p.depth),
            &nodes[c]);
      }
      if (nodes[c].plate != p.plate) {
        add(at(nodes[c]) + ": node " + std::to_string(nodes[c].id) + " is on plate " +
                std::to_string(nodes[c].plate) + ", its parent on plate " +
                std::to_string(p.plate),
            &nodes[c]);
      }
    }
    bool along_x = true, along_y = true;  // pieces side by side along x / along y
    for (const std::size_t c : pieces) {
      along_x = along_x && nodes[c].y == p.y && nodes[c].width == p.width;
      along_y = along_y && nodes[c].x == p.x && nodes[c].length == p.length;
    }
    if (!along_x && !along_y) {
      add(at(p) + ": the pieces of node " + std::to_string(p.id) +
              " are not cut from it by parallel cuts across it",
          &p);
      continue;
    }
    const bool cut = !(along_x && along_y);  // one piece, the node itself: no cut
    const auto begin_of = [&](const cut_node& c) { return along_x ? c.x : c.y; };
    const auto end_of = [&](const cut_node& c) {
      return along_x ? plus(c.x, c.length) : plus(c.y, c.width);
    };
    std::sort(pieces.begin(), pieces.end(), [&](std::size_t a, std::size_t b) {
      return begin_of(nodes[a]) < begin_of(nodes[b]);
    });
    const char axis = along_x ? 'x' : 'y';
    // Tiling: each piece where the one before it ends, a blade's width on.
    int64_t expected = begin_of(p);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const cut_node& c = nodes[pieces[i]];
      const int64_t b = begin_of(c);
      if (b != expected) {
        const bool gap = b > expected;
        std::string text = at(c) + ": node " + std::to_string(c.id) + " starts at " + axis + " " +
                           std::to_string(b) + ", ";
        if (i == 0) {
          text += "not where its parent, node " + std::to_string(p.id) + ", starts (" + axis +
                  " " + std::to_string(expected) + ")";
        } else if (gap) {
          text += "leaving a gap of " + std::to_string(minus(b, expected)) + " after node " +
                  std::to_string(nodes[pieces[i - 1]].id) +
                  (rules.cut_thickness > 0 ? " and the cut" : "");
        } else {
          text += "overlapping node " + std::to_string(nodes[pieces[i - 1]].id) + " (" + axis +
                  " " + std::to_string(begin_of(nodes[pieces[i - 1]])) + " to " +
                  std::to_string(end_of(nodes[pieces[i - 1]])) + ")" +
                  (rules.cut_thickness > 0 ? " or its cut" : "");
        }
        add(text, &c);
      }
      expected = plus(end_of(c), i + 1 < pieces.size() ? rules.cut_thickness : 0);
    }
    if (expected != end_of(p)) {
      add(at(p) + ": the pieces of node " + std::to_string(p.id) + " end at " + axis + " " +
              std::to_string(expected) + (expected < end_of(p) ? ", short of" : ", past") +
              " its end at " + axis + " " + std::to_string(end_of(p)),
          &p);
    }
    // A level that cuts nothing is a level all the same: a piece passed on
    // whole still takes a stage of the saw, so the stage count holds for it.
    if (level > rules.number_of_stages) {
      // Non-exact: a last-stage piece may be trimmed once, into its item
      // and a waste.
      int items = 0, wastes = 0;
      for (const std::size_t c : pieces) {
        items += nodes[c].type >= 0 ? 1 : 0;
        wastes += nodes[c].type == node_waste ? 1 : 0;
      }
      const bool trim = rules.non_exact && level == rules.number_of_stages + 1 && items == 1 &&
                        items + wastes == static_cast<int>(pieces.size());
      if (!trim) {
        add(at(p) + ": node " + std::to_string(p.id) + " is cut at level " +
                std::to_string(level) + "; " + stages_rule + " allow " +
                std::to_string(rules.number_of_stages) + " levels" +
                (rules.non_exact ? ", and one more only to trim an item from its waste" : ""),
            &p);
      }
    }
    if (!cut) continue;

    auto known = first_along_x.find(p.plate);
    if (known == first_along_x.end()) {
      const bool first = (level % 2 == 1) ? along_x : !along_x;
      known = first_along_x.emplace(p.plate, first_level{first, p.id, level}).first;
    }
    {
      const bool first = known->second.along_x;
      const bool expected_x = (level % 2 == 1) ? first : !first;
      if (expected_x != along_x) {
        const std::string why = known->second.node < 0
                                    ? "the first level's " + std::string(orientation_name(first))
                                    : "the first level's " + std::string(orientation_name(first)) +
                                          ", as node " + std::to_string(known->second.node) +
                                          "'s cuts at level " +
                                          std::to_string(known->second.level) + " make it";
        add(at(p) + ": node " + std::to_string(p.id) + " is cut by " + orientation_name(along_x) +
                " cuts at level " + std::to_string(level) + ", where that level's cuts are " +
                orientation_name(expected_x) + " (" + why + ")",
            &p);
      }
    }
    for (const std::size_t c : pieces) {
      const cut_node& w = nodes[c];
      const int64_t across = along_x ? w.length : w.width;
      if (w.type == node_waste && across < rules.minimum_waste_length) {
        add(at(w) + ": waste node " + std::to_string(w.id) + " is " + std::to_string(across) +
                " across its cut, less than --minimum-waste-length " +
                std::to_string(rules.minimum_waste_length),
            &w);
      }
    }
    if (rules.cut_through_defects || instance.defects.empty()) continue;
    std::optional<crossing_defects>& by_axis = along_x ? by_x : by_y;
    if (!by_axis) by_axis.emplace(instance.defects, along_x);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
      const cut_node& a = nodes[pieces[i]];
      const cut_node& b = nodes[pieces[i + 1]];
      const int64_t from = end_of(a);
      const int64_t to = std::max(from, begin_of(b));
      // The cut, or the blade's width from `from` to `to`, crosses what
      // reaches into it: lo < to and from < hi (lo < from < hi for a line).
      by_axis->find(from, to, crossed);
      for (const std::size_t d : crossed) {
        const placed_defect& f = instance.defects[d];
        const int64_t span_lo = along_x ? f.y1 : f.x1, span_hi = along_x ? f.y2 : f.x2;
        const int64_t p_lo = along_x ? p.y : p.x;
        const int64_t p_hi = along_x ? plus(p.y, p.width) : plus(p.x, p.length);
        if (!(span_lo < p_hi && p_lo < span_hi)) continue;
        cut_node where = p;
        if (along_x) {
          where.x = from;
          where.length = std::max<int64_t>(minus(to, from), 1);
        } else {
          where.y = from;
          where.width = std::max<int64_t>(minus(to, from), 1);
        }
        add(at(b) + ": the cut at " + axis + " " + std::to_string(from) + " between nodes " +
                std::to_string(a.id) + " and " + std::to_string(b.id) + " crosses defect " +
                std::to_string(d + 1) + " (x " + std::to_string(f.x1) + " to " +
                std::to_string(f.x2) + ", y " + std::to_string(f.y1) + " to " +
                std::to_string(f.y2) + "); give --cut-through-defects if the saw may",
            &where);
      }
    }
  }
}

}  // namespace sheetkit
