#include <sheetgen/perfect_packing.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "random.h"

namespace sheetgen {

namespace {

constexpr int tries_per_defect = 1000;

// A node while the tree grows: extents along A and B (the first level's
// axis and the other), its children in order along their axis.
struct growing {
  int64_t a = 0, b = 0, la = 0, lb = 0;
  int parent = -1;
  int depth = 0;
  bool defect = false;
  bool pinwheel = false;
  std::vector<int> children;
};

class law {
 public:
  explicit law(int32_t seed) : random_(seed) {}
  double u() { return random_.uniform_random(); }
  // Uniform in [lo, hi].
  int64_t uniform(int64_t lo, int64_t hi) {
    const auto k = static_cast<int64_t>(std::floor(u() * static_cast<double>(hi - lo + 1)));
    return lo + std::min(k, hi - lo);
  }

 private:
  random_generator random_;
};

std::string sides(const rectangle& r) {
  return std::to_string(r.length) + " x " + std::to_string(r.width);
}

// Whether a level's pieces lie side by side along A.
bool level_along_a(int level) { return level % 2 == 1; }

}  // namespace

perfect_packing make_perfect_packing(const perfect_parameters& p) {
  const int64_t L = p.object.length, W = p.object.width;
  if (L < 1 || W < 1 || L * W > INT32_MAX)
    throw error("the object's sides must be positive and their product fit 32 bits, not " +
                std::to_string(L) + " x " + std::to_string(W));
  if (p.item_types < 1 || p.item_types > MAXMOD)
    throw error("item types must be 1 to " + std::to_string(MAXMOD) + ", not " +
                std::to_string(p.item_types));
  if (p.stages < 1) throw error("stages must be at least 1, not " + std::to_string(p.stages));
  if (p.least_side < 1)
    throw error("the least side must be at least 1, not " + std::to_string(p.least_side));
  if (p.seed < 1 || p.seed > INT32_MAX - 1)
    throw error("the seed must be 1 to 2147483646, not " + std::to_string(p.seed));
  if (p.pinwheels < 0 || int64_t{p.pinwheels} * 4 >= p.item_types)
    throw error("pinwheels must be at least 0 and leave an item type besides their own (" +
                std::to_string(p.item_types) + " item types take at most " +
                std::to_string((p.item_types - 1) / 4) + "), not " + std::to_string(p.pinwheels));
  if (p.defects.size() > static_cast<std::size_t>(MAXDEF))
    throw error("at most " + std::to_string(MAXDEF) + " defects, not " +
                std::to_string(p.defects.size()));
  law draw(p.seed);
  const int64_t m = p.least_side;
  if (L < m || W < m)
    throw error("the object " + sides(p.object) + " is narrower than the least side, " +
                std::to_string(m));

  perfect_packing out;
  out.object = rectangle::of(p.object.length, p.object.width);
  out.first_vertical = p.orientation == first_level::vertical ||
                       (p.orientation == first_level::any && draw.u() < 0.5);
  const int64_t A = out.first_vertical ? L : W, B = out.first_vertical ? W : L;

  // 2. The defects, as extents along A and B.
  struct extent {
    int64_t a, b, la, lb;
  };
  std::vector<extent> placed;
  const auto gap_ok = [&](int64_t g) { return g == 0 || g >= m; };
  for (std::size_t k = 0; k < p.defects.size(); ++k) {
    const rectangle& d = p.defects[k];
    const std::string name = "defect " + std::to_string(k + 1) + " (" + sides(d) + ")";
    const int64_t la = out.first_vertical ? d.length : d.width;
    const int64_t lb = out.first_vertical ? d.width : d.length;
    if (d.length < 1 || d.width < 1) throw error(name + " has no area");
    if (la > A || lb > B) throw error(name + " is larger than the object");
    if (lb != B && la < m)
      throw error(name + " is narrower along the first level's cuts than the least side, " +
                  std::to_string(m) + ", and so would be the pieces beside it");
    if (p.stages == 1 && lb != B)
      throw error(name +
                  " needs two stages: with one, a defect must span the object across the "
                  "first level's cuts");
    bool found = false;
    for (int t = 0; t < tries_per_defect && !found; ++t) {
      const int64_t a = draw.uniform(0, A - la);
      const int64_t b = draw.uniform(0, B - lb);
      if (!gap_ok(b) || !gap_ok(B - b - lb)) continue;
      int64_t before = 0, after = A;  // the nearest ends of what lies beside it along A
      bool overlaps = false;
      for (const extent& e : placed) {
        if (e.a < a + la && a < e.a + e.la) overlaps = true;
        if (e.a + e.la <= a) before = std::max(before, e.a + e.la);
        if (e.a >= a + la) after = std::min(after, e.a);
      }
      if (overlaps || !gap_ok(a - before) || !gap_ok(after - a - la)) continue;
      placed.push_back({a, b, la, lb});
      found = true;
    }
    if (!found) {
      throw error(name + " finds no place in " + std::to_string(tries_per_defect) +
                  " tries: along the first level's cuts it may meet no other defect, and every "
                  "gap it leaves must be 0 or at least the least side, " +
                  std::to_string(m));
    }
  }

  // 3. The tree around the defects.
  std::vector<growing> t(1);
  t[0].la = A;
  t[0].lb = B;
  const auto add = [&](int parent, int64_t a, int64_t b, int64_t la, int64_t lb, bool defect) {
    growing g;
    g.a = a, g.b = b, g.la = la, g.lb = lb, g.parent = parent, g.depth = t[parent].depth + 1;
    g.defect = defect;
    t.push_back(g);
    const int id = static_cast<int>(t.size()) - 1;
    t[parent].children.push_back(id);
    return id;
  };
  if (!placed.empty()) {
    std::vector<extent> by_a = placed;
    std::sort(by_a.begin(), by_a.end(), [](const extent& x, const extent& y) { return x.a < y.a; });
    int64_t at = 0;
    for (const extent& e : by_a) {
      if (e.a > at) add(0, at, 0, e.a - at, B, false);
      if (e.lb == B) {
        add(0, e.a, 0, e.la, B, true);
      } else {
        const int strip = add(0, e.a, 0, e.la, B, false);
        if (e.b > 0) add(strip, e.a, 0, e.la, e.b, false);
        add(strip, e.a, e.b, e.la, e.lb, true);
        if (e.b + e.lb < B) add(strip, e.a, e.b + e.lb, e.la, B - e.b - e.lb, false);
      }
      at = e.a + e.la;
    }
    if (at < A) add(0, at, 0, A - at, B, false);
  }

  // The free leaves in the tree's order (depth first, children in order).
  const auto free_leaves = [&] {
    std::vector<int> leaves, stack{0};
    while (!stack.empty()) {
      const int k = stack.back();
      stack.pop_back();
      if (t[k].children.empty()) {
        if (!t[k].defect) leaves.push_back(k);
        continue;
      }
      for (auto c = t[k].children.rbegin(); c != t[k].children.rend(); ++c) stack.push_back(*c);
    }
    return leaves;
  };
  // The side a level's cut divides.
  const auto side_at = [&](int k, int level) { return level_along_a(level) ? t[k].la : t[k].lb; };
  std::vector<int> leaves = free_leaves();
  const int64_t cut_to = p.item_types - int64_t{4} * p.pinwheels;
  if (static_cast<int64_t>(leaves.size()) > cut_to) {
    throw error("the defects leave " + std::to_string(leaves.size()) +
                " pieces around them, more than the " + std::to_string(cut_to) +
                " item types asked for" + (p.pinwheels > 0 ? " besides the pinwheels'" : ""));
  }

  // 4. Cut until there are enough leaves.
  while (static_cast<int64_t>(leaves.size()) < cut_to) {
    // Positions in `leaves`, which is kept in the tree's order as it grows.
    std::vector<std::size_t> can;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      const int k = leaves[i];
      const int d = t[k].depth;
      const bool along = d >= 1 && side_at(k, d) >= 2 * m;
      const bool across = d + 1 <= p.stages && side_at(k, d + 1) >= 2 * m;
      if (along || across) can.push_back(i);
    }
    if (can.empty()) {
      throw error("the tree cannot be cut into " + std::to_string(cut_to) +
                  " item types with a least side of " + std::to_string(m) + " and " +
                  std::to_string(p.stages) + " stages: it stopped at " +
                  std::to_string(leaves.size()));
    }
    const std::size_t at =
        can[static_cast<std::size_t>(draw.uniform(0, static_cast<int64_t>(can.size()) - 1))];
    const int k = leaves[at];
    const int d = t[k].depth;
    const bool along = d >= 1 && side_at(k, d) >= 2 * m;
    const bool across = d + 1 <= p.stages && side_at(k, d + 1) >= 2 * m;
    const bool use_along = along && (!across || draw.u() < 0.5);
    const int level = use_along ? d : d + 1;
    const int64_t side = side_at(k, level);
    const int64_t cut = m + draw.uniform(0, side - 2 * m);
    const bool on_a = level_along_a(level);
    growing first = t[k], second = t[k];
    first.children.clear();
    second.children.clear();
    if (on_a) {
      first.la = cut;
      second.a += cut;
      second.la -= cut;
    } else {
      first.lb = cut;
      second.b += cut;
      second.lb -= cut;
    }
    if (use_along) {
      // One more piece among its neighbours: k becomes the first, the
      // second follows it.
      const int parent = t[k].parent;
      t[k] = first;
      t.push_back(second);
      std::vector<int>& siblings = t[parent].children;
      siblings.insert(std::find(siblings.begin(), siblings.end(), k) + 1,
                      static_cast<int>(t.size()) - 1);
      leaves.insert(leaves.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                    static_cast<int>(t.size()) - 1);
    } else {
      leaves[at] = add(k, first.a, first.b, first.la, first.lb, false);
      leaves.insert(leaves.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                    add(k, second.a, second.b, second.la, second.lb, false));
    }
  }

  // 5. Pinwheels.
  for (int32_t k = 0; k < p.pinwheels; ++k) {
    std::vector<std::size_t> can;
    for (std::size_t i = 0; i < leaves.size(); ++i)
      if (t[leaves[i]].la >= 3 * m && t[leaves[i]].lb >= 3 * m) can.push_back(i);
    if (can.empty()) {
      throw error("pinwheel " + std::to_string(k + 1) +
                  " finds no piece whose sides are both at least 3 times the least side, " +
                  std::to_string(3 * m));
    }
    const std::size_t at =
        can[static_cast<std::size_t>(draw.uniform(0, static_cast<int64_t>(can.size()) - 1))];
    const int leaf = leaves[at];
    // In x and y from the leaf's corner; the tree's A and B are x and y
    // where the first level is vertical.
    const growing g = t[leaf];
    const int64_t l = out.first_vertical ? g.la : g.lb, w = out.first_vertical ? g.lb : g.la;
    const int64_t a = draw.uniform(m, l - 2 * m), b = draw.uniform(a + m, l - m);
    const int64_t c = draw.uniform(m, w - 2 * m), d = draw.uniform(c + m, w - m);
    t[leaf].pinwheel = true;
    const int64_t pieces[5][4] = {
        {0, 0, b, c}, {b, 0, l, d}, {a, d, l, w}, {0, c, a, w}, {a, c, b, d}};
    std::vector<int> five;
    for (const auto& q : pieces) {
      const int64_t x = q[0], y = q[1], lx = q[2] - q[0], ly = q[3] - q[1];
      five.push_back(out.first_vertical ? add(leaf, g.a + x, g.b + y, lx, ly, false)
                                        : add(leaf, g.a + y, g.b + x, ly, lx, false));
    }
    leaves[at] = five[0];
    leaves.insert(leaves.begin() + static_cast<std::ptrdiff_t>(at) + 1, five.begin() + 1,
                  five.end());
  }

  // 6. Item types: the free leaves shuffled.
  for (std::size_t i = leaves.size(); i-- > 1;) {
    const auto j = static_cast<std::size_t>(draw.uniform(0, static_cast<int64_t>(i)));
    std::swap(leaves[i], leaves[j]);
  }
  std::vector<int32_t> type_of(t.size(), perfect_branch);
  for (std::size_t i = 0; i < leaves.size(); ++i)
    type_of[static_cast<std::size_t>(leaves[i])] = static_cast<int32_t>(i);

  // The nodes, parents first (breadth first), in x and y.
  std::vector<int> order{0};
  std::vector<int32_t> index_of(t.size(), -1);
  for (std::size_t i = 0; i < order.size(); ++i)
    for (const int c : t[static_cast<std::size_t>(order[i])].children) order.push_back(c);
  out.items.resize(leaves.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const growing& g = t[static_cast<std::size_t>(order[i])];
    index_of[static_cast<std::size_t>(order[i])] = static_cast<int32_t>(i);
    perfect_node n;
    n.x = static_cast<int32_t>(out.first_vertical ? g.a : g.b);
    n.y = static_cast<int32_t>(out.first_vertical ? g.b : g.a);
    n.length = static_cast<int32_t>(out.first_vertical ? g.la : g.lb);
    n.width = static_cast<int32_t>(out.first_vertical ? g.lb : g.la);
    n.parent = g.parent < 0 ? -1 : index_of[static_cast<std::size_t>(g.parent)];
    n.depth = g.depth;
    n.kind = g.defect ? perfect_defect_piece : type_of[static_cast<std::size_t>(order[i])];
    if (!g.children.empty()) n.kind = g.pinwheel ? perfect_pinwheel : perfect_branch;
    // A pinwheel's pieces are no level of cuts.
    if (n.parent < 0 || out.nodes[static_cast<std::size_t>(n.parent)].kind != perfect_pinwheel)
      out.levels = std::max(out.levels, n.depth);
    if (n.kind >= 0) {
      out.items[static_cast<std::size_t>(n.kind)] = rectangle::of(n.length, n.width);
      out.optimum += int64_t{n.length} * n.width;
    }
    out.nodes.push_back(n);
  }
  for (const extent& e : placed) {
    const int64_t x = out.first_vertical ? e.a : e.b, y = out.first_vertical ? e.b : e.a;
    const int64_t lx = out.first_vertical ? e.la : e.lb, ly = out.first_vertical ? e.lb : e.la;
    out.defects.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y),
                           static_cast<int32_t>(x + lx), static_cast<int32_t>(y + ly)});
  }
  return out;
}

std::string perfect_guillotine_certificate(const perfect_packing& p) {
  std::string out = "PLATE_ID,COPIES,NODE_ID,X,Y,WIDTH,HEIGHT,TYPE,CUT,PARENT\n";
  const auto row = [&](int64_t id, int64_t x, int64_t y, int64_t l, int64_t w, int64_t type,
                       int64_t cut, int64_t parent) {
    out += "0,1," + std::to_string(id) + ',' + std::to_string(x) + ',' + std::to_string(y) + ',' +
           std::to_string(l) + ',' + std::to_string(w) + ',' + std::to_string(type) + ',' +
           std::to_string(cut) + ',' + (parent < 0 ? std::string() : std::to_string(parent)) + '\n';
  };
  for (const perfect_node& n : p.nodes)
    if (n.kind == perfect_pinwheel) throw error("a packing with pinwheels has no guillotine tree");
  const bool lone = p.nodes.size() == 1;  // the root is the one item
  for (std::size_t i = 0; i < p.nodes.size(); ++i) {
    const perfect_node& n = p.nodes[i];
    row(static_cast<int64_t>(i), n.x, n.y, n.length, n.width, i == 0 ? 0 : n.kind, n.depth,
        n.parent);
  }
  if (lone) {
    const perfect_node& n = p.nodes[0];
    row(1, n.x, n.y, n.length, n.width, n.kind, 1, 0);
  }
  for (const placed_defect& d : p.defects) {
    out += "0,1,-1," + std::to_string(d.x1) + ',' + std::to_string(d.y1) + ',' +
           std::to_string(d.x2 - d.x1) + ',' + std::to_string(d.y2 - d.y1) + ",-4,-1,\n";
  }
  return out;
}

std::string perfect_placements(const perfect_packing& p, int64_t instance) {
  std::string out = "instance,item_type,x,y,rotated\n";
  std::vector<const perfect_node*> by_type(p.items.size(), nullptr);
  for (const perfect_node& n : p.nodes)
    if (n.kind >= 0) by_type[static_cast<std::size_t>(n.kind)] = &n;
  for (std::size_t t = 0; t < by_type.size(); ++t) {
    out += std::to_string(instance) + ',' + std::to_string(t) + ',' +
           std::to_string(by_type[t]->x) + ',' + std::to_string(by_type[t]->y) + ",0\n";
  }
  return out;
}

}  // namespace sheetgen
