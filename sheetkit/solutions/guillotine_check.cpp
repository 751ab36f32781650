#include "solutions/guillotine_check.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "solutions/poll_every.h"

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
    std::sort(order_.begin(), order_.end(),
              [&](std::size_t a, std::size_t b) { return lo(a) < lo(b); });
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
    const auto below =
        static_cast<std::size_t>(std::lower_bound(low_.begin(), low_.end(), to) - low_.begin());
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

// The check of one tree, step by step: the children of each node, the
// roots, then each cut node in level order (parents before children, so
// that a plate's first level is known before deeper levels are held to it).
class tree_check {
 public:
  tree_check(const solution_instance& instance, const solution& s, const guillotine_rules& rules,
             solution_report& report, std::size_t keep, const std::function<void()>& poll)
      : instance_(instance),
        s_(s),
        nodes_(s.nodes),
        n_(s.nodes.size()),
        rules_(rules),
        report_(report),
        keep_(keep),
        step(poll),
        stages_rule_(std::to_string(rules.number_of_stages) + " stages (--number-of-stages " +
                     std::to_string(rules.number_of_stages) + ")") {}

  void run() {
    link_children();
    check_roots();
    for (const std::size_t k : level_order()) {
      step();
      if (start_[k] != start_[k + 1]) check_cut(k);
    }
  }

 private:
  // How a node is cut into its pieces.
  struct cut_shape {
    bool along_x;  // pieces side by side along x (vertical cuts); else along y
    bool cut;      // false for one piece, the node itself
    char axis;
  };
  // The orientation of a plate's first level: by the rules, or fixed by
  // the first node really cut (with "any"), in level order. A tree is
  // sound under "any" exactly when it is under one of the two, and an
  // uncut level fits both.
  struct first_level {
    bool along_x;  // vertical
    int64_t node;  // the node whose cut fixed it; -1 by the rules
    int64_t level;
  };

  std::string at(const cut_node& c) const { return located(s_.file, c.line); }
  void add(std::string text, const cut_node* area) {
    violation v{std::move(text)};
    if (area != nullptr) {
      v.has_area = true;
      v.x1 = area->x;
      v.y1 = area->y;
      v.x2 = plus(area->x, area->length);
      v.y2 = plus(area->y, area->width);
    }
    report_.add(std::move(v), keep_);
  }
  int64_t begin_of(const cut_node& c, const cut_shape& shape) const {
    return shape.along_x ? c.x : c.y;
  }
  int64_t end_of(const cut_node& c, const cut_shape& shape) const {
    return shape.along_x ? plus(c.x, c.length) : plus(c.y, c.width);
  }

  // Children of each node, in file order (child_[start_[k]] on), and the
  // roots by plate; a parent that is no node is named.
  void link_children() {
    std::unordered_map<int64_t, std::size_t> by_id;
    by_id.reserve(n_);
    for (std::size_t k = 0; k < n_; ++k) {
      step();
      by_id.emplace(nodes_[k].id, k);
    }
    start_.assign(n_ + 1, 0);
    std::vector<std::size_t> parent_of(n_, n_);
    for (std::size_t k = 0; k < n_; ++k) {
      step();
      if (nodes_[k].parent < 0) {
        roots_[nodes_[k].plate].push_back(k);
        continue;
      }
      const auto p = by_id.find(nodes_[k].parent);
      if (p == by_id.end()) {
        add(at(nodes_[k]) + ": parent " + std::to_string(nodes_[k].parent) + " of node " +
                std::to_string(nodes_[k].id) + " is no node of the certificate",
            nullptr);
        continue;
      }
      parent_of[k] = p->second;
      ++start_[p->second + 1];
    }
    for (std::size_t k = 0; k < n_; ++k) start_[k + 1] += start_[k];
    child_.resize(start_[n_]);
    std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t k = 0; k < n_; ++k)
      if (parent_of[k] < n_) child_[fill[parent_of[k]]++] = k;
  }

  // Each plate's root: the object, once, plate 0, one copy, CUT 0.
  void check_roots() {
    for (const auto& [plate, list] : roots_) {
      const cut_node& root = nodes_[list.front()];
      if (plate != 0) {
        add(at(root) + ": plate " + std::to_string(plate) + ": the object is one plate, plate 0",
            nullptr);
      }
      if (list.size() > 1) {
        add(at(nodes_[list[1]]) + ": plate " + std::to_string(plate) + " has a second root, node " +
                std::to_string(nodes_[list[1]].id) + " (the first is node " +
                std::to_string(root.id) + ")",
            nullptr);
      }
      if (root.x != 0 || root.y != 0 || root.length != instance_.object.length ||
          root.width != instance_.object.width) {
        add(at(root) + ": the root, node " + std::to_string(root.id) + ", is " +
                std::to_string(root.length) + " x " + std::to_string(root.width) + " at (" +
                std::to_string(root.x) + ", " + std::to_string(root.y) + "), not the object, " +
                std::to_string(instance_.object.length) + " x " +
                std::to_string(instance_.object.width) + " at (0, 0)",
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
      plate_copies_.emplace(plate, root.copies);
      if (rules_.first_stage_orientation == stage_orientation::vertical)
        first_levels_[plate] = {true, -1, 1};
      if (rules_.first_stage_orientation == stage_orientation::horizontal)
        first_levels_[plate] = {false, -1, 1};
    }
    if (roots_.empty() && n_ > 0)
      add(s_.file + ": the tree has no root (a node without PARENT)", nullptr);
  }

  // Every node reached from a root, parents before children.
  std::vector<std::size_t> level_order() const {
    std::vector<std::size_t> order;
    order.reserve(n_);
    for (const auto& [plate, list] : roots_)
      for (const std::size_t r : list) order.push_back(r);
    for (std::size_t i = 0; i < order.size(); ++i)
      for (std::size_t c = start_[order[i]]; c < start_[order[i] + 1]; ++c)
        order.push_back(child_[c]);
    return order;
  }

  // Node k, which has pieces: each check of its cut in turn.
  void check_cut(std::size_t k) {
    const cut_node& p = nodes_[k];
    pieces_.assign(child_.begin() + static_cast<std::ptrdiff_t>(start_[k]),
                   child_.begin() + static_cast<std::ptrdiff_t>(start_[k + 1]));
    if (p.parent >= 0 && p.type != node_branch)
      add(at(p) + ": " + node_name(p) + " is cut further; only a branch (TYPE -2) is", &p);
    const int64_t level = plus(p.depth, 1);
    check_pieces_belong(p, level);
    const std::optional<cut_shape> shape = shape_of(p);
    if (!shape) return;
    check_tiling(p, *shape);
    check_stages(p, level);
    if (!shape->cut) return;
    check_orientation(p, level, *shape);
    check_wastes(*shape);
    if (!rules_.cut_through_defects && !instance_.defects.empty())
      check_defect_crossings(p, *shape);
  }

  // The pieces' COPIES, CUT and plate are their parent's.
  void check_pieces_belong(const cut_node& p, int64_t level) {
    for (const std::size_t c : pieces_) {
      const cut_node& piece = nodes_[c];
      const auto copies = plate_copies_.find(piece.plate);
      if (copies != plate_copies_.end() && piece.copies != copies->second) {
        add(at(piece) + ": " + node_name(piece) + " has COPIES " + std::to_string(piece.copies) +
                " where its plate, plate " + std::to_string(piece.plate) + ", has COPIES " +
                std::to_string(copies->second),
            &piece);
      }
      if (piece.depth != level) {
        add(at(piece) + ": node " + std::to_string(piece.id) + " has CUT " +
                std::to_string(piece.depth) + " where its parent, node " + std::to_string(p.id) +
                ", has CUT " + std::to_string(p.depth),
            &piece);
      }
      if (piece.plate != p.plate) {
        add(at(piece) + ": node " + std::to_string(piece.id) + " is on plate " +
                std::to_string(piece.plate) + ", its parent on plate " + std::to_string(p.plate),
            &piece);
      }
    }
  }

  // Whether the pieces lie side by side across the whole node, and along
  // which axis; sorts the pieces along it. Names a node that is not cut so.
  std::optional<cut_shape> shape_of(const cut_node& p) {
    bool along_x = true, along_y = true;
    for (const std::size_t c : pieces_) {
      along_x = along_x && nodes_[c].y == p.y && nodes_[c].width == p.width;
      along_y = along_y && nodes_[c].x == p.x && nodes_[c].length == p.length;
    }
    if (!along_x && !along_y) {
      add(at(p) + ": the pieces of node " + std::to_string(p.id) +
              " are not cut from it by parallel cuts across it",
          &p);
      return std::nullopt;
    }
    const cut_shape shape{along_x, !(along_x && along_y), along_x ? 'x' : 'y'};
    std::sort(pieces_.begin(), pieces_.end(), [&](std::size_t a, std::size_t b) {
      return begin_of(nodes_[a], shape) < begin_of(nodes_[b], shape);
    });
    return shape;
  }

  // Each piece where the one before it ends, a blade's width on, and the
  // last where the node ends.
  void check_tiling(const cut_node& p, const cut_shape& shape) {
    const char axis = shape.axis;
    int64_t expected = begin_of(p, shape);
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      const cut_node& c = nodes_[pieces_[i]];
      const int64_t b = begin_of(c, shape);
      if (b != expected) {
        const cut_node& before = nodes_[pieces_[i == 0 ? 0 : i - 1]];
        std::string text = at(c) + ": node " + std::to_string(c.id) + " starts at " + axis + " " +
                           std::to_string(b) + ", ";
        if (i == 0) {
          text += "not where its parent, node " + std::to_string(p.id) + ", starts (" + axis + " " +
                  std::to_string(expected) + ")";
        } else if (b > expected) {
          text += "leaving a gap of " + std::to_string(minus(b, expected)) + " after node " +
                  std::to_string(before.id) + (rules_.cut_thickness > 0 ? " and the cut" : "");
        } else {
          text += "overlapping node " + std::to_string(before.id) + " (" + axis + " " +
                  std::to_string(begin_of(before, shape)) + " to " +
                  std::to_string(end_of(before, shape)) + ")" +
                  (rules_.cut_thickness > 0 ? " or its cut" : "");
        }
        add(text, &c);
      }
      expected = plus(end_of(c, shape), i + 1 < pieces_.size() ? rules_.cut_thickness : 0);
    }
    if (expected != end_of(p, shape)) {
      add(at(p) + ": the pieces of node " + std::to_string(p.id) + " end at " + axis + " " +
              std::to_string(expected) + (expected < end_of(p, shape) ? ", short of" : ", past") +
              " its end at " + axis + " " + std::to_string(end_of(p, shape)),
          &p);
    }
  }

  // A level that cuts nothing is a level all the same: a piece passed on
  // whole still takes a stage of the saw, so the stage count holds for it.
  void check_stages(const cut_node& p, int64_t level) {
    if (level <= rules_.number_of_stages) return;
    // Non-exact: a last-stage piece may be trimmed once, into its item and
    // a waste.
    int items = 0, wastes = 0;
    for (const std::size_t c : pieces_) {
      items += nodes_[c].type >= 0 ? 1 : 0;
      wastes += nodes_[c].type == node_waste ? 1 : 0;
    }
    const bool trim = rules_.non_exact && level == rules_.number_of_stages + 1 && items == 1 &&
                      items + wastes == static_cast<int>(pieces_.size());
    if (trim) return;
    add(at(p) + ": node " + std::to_string(p.id) + " is cut at level " + std::to_string(level) +
            "; " + stages_rule_ + " allow " + std::to_string(rules_.number_of_stages) + " levels" +
            (rules_.non_exact ? ", and one more only to trim an item from its waste" : ""),
        &p);
  }

  // Cuts of one level all one way, the levels alternating from the first.
  void check_orientation(const cut_node& p, int64_t level, const cut_shape& shape) {
    auto known = first_levels_.find(p.plate);
    if (known == first_levels_.end()) {
      const bool first = (level % 2 == 1) ? shape.along_x : !shape.along_x;
      known = first_levels_.emplace(p.plate, first_level{first, p.id, level}).first;
    }
    const bool first = known->second.along_x;
    const bool expected_x = (level % 2 == 1) ? first : !first;
    if (expected_x == shape.along_x) return;
    const std::string why = known->second.node < 0
                                ? "the first level's " + std::string(orientation_name(first))
                                : "the first level's " + std::string(orientation_name(first)) +
                                      ", as node " + std::to_string(known->second.node) +
                                      "'s cuts at level " + std::to_string(known->second.level) +
                                      " make it";
    add(at(p) + ": node " + std::to_string(p.id) + " is cut by " + orientation_name(shape.along_x) +
            " cuts at level " + std::to_string(level) + ", where that level's cuts are " +
            orientation_name(expected_x) + " (" + why + ")",
        &p);
  }

  void check_wastes(const cut_shape& shape) {
    for (const std::size_t c : pieces_) {
      const cut_node& w = nodes_[c];
      const int64_t across = shape.along_x ? w.length : w.width;
      if (w.type == node_waste && across < rules_.minimum_waste_length) {
        add(at(w) + ": waste node " + std::to_string(w.id) + " is " + std::to_string(across) +
                " across its cut, less than --minimum-waste-length " +
                std::to_string(rules_.minimum_waste_length),
            &w);
      }
    }
  }

  // No cut (or blade's width) between two pieces through a defect.
  void check_defect_crossings(const cut_node& p, const cut_shape& shape) {
    const bool along_x = shape.along_x;
    std::optional<crossing_defects>& by_axis = along_x ? by_x_ : by_y_;
    if (!by_axis) by_axis.emplace(instance_.defects, along_x);
    for (std::size_t i = 0; i + 1 < pieces_.size(); ++i) {
      const cut_node& a = nodes_[pieces_[i]];
      const cut_node& b = nodes_[pieces_[i + 1]];
      const int64_t from = end_of(a, shape);
      const int64_t to = std::max(from, begin_of(b, shape));
      // The cut, or the blade's width from `from` to `to`, crosses what
      // reaches into it: lo < to and from < hi (lo < from < hi for a line).
      by_axis->find(from, to, crossed_);
      for (const std::size_t d : crossed_) {
        const placed_defect& f = instance_.defects[d];
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
        add(at(b) + ": the cut at " + shape.axis + " " + std::to_string(from) + " between nodes " +
                std::to_string(a.id) + " and " + std::to_string(b.id) + " crosses defect " +
                std::to_string(d + 1) + " (x " + std::to_string(f.x1) + " to " +
                std::to_string(f.x2) + ", y " + std::to_string(f.y1) + " to " +
                std::to_string(f.y2) + "); give --cut-through-defects if the saw may",
            &where);
      }
    }
  }

  const solution_instance& instance_;
  const solution& s_;
  const std::vector<cut_node>& nodes_;
  const std::size_t n_;
  const guillotine_rules& rules_;
  solution_report& report_;
  const std::size_t keep_;
  poll_every step;  // one call a node
  const std::string stages_rule_;

  std::vector<std::size_t> start_, child_;             // children of each node
  std::map<int64_t, std::vector<std::size_t>> roots_;  // by plate
  std::map<int64_t, int64_t> plate_copies_;            // each plate's root's COPIES
  std::map<int64_t, first_level> first_levels_;        // by plate
  std::vector<std::size_t> pieces_, crossed_;          // of the node at hand
  std::optional<crossing_defects> by_x_, by_y_;        // built when a cut first needs them
};

}  // namespace

void check_guillotine_tree(const solution_instance& instance, const solution& s,
                           const guillotine_rules& rules, solution_report& report, std::size_t keep,
                           const std::function<void()>& poll) {
  tree_check(instance, s, rules, report, keep, poll).run();
}

}  // namespace sheetkit
