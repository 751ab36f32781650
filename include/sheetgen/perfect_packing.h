/// \file
/// Instances whose optimum is known by construction, with defects: a
/// random guillotine tree cuts the object; the defects are pieces of the
/// tree of their own, and every other leaf is an item type with one copy
/// and value = area. Placing every item where the tree put it covers all
/// of the object but the defects, so the optimum is the usable area, and
/// the tree itself is the certificate.
///
/// The law, in the order of its draws (each draw u is the next value of
/// the dialogue's generator, seeded with `seed`; "uniform in [a, b]" is
/// a + floor(u (b - a + 1))):
///  1. The first level's orientation: given, or for `any` vertical when
///     u < 0.5. Vertical: the first level's cuts run along the width, so
///     its pieces lie side by side along the length; call that axis A and
///     the other B. Levels alternate from there.
///  2. The defects, in the order given: each its corner along A, then
///     along B, uniform over the places where it lies within the object
///     (two draws a try). A try is kept when the defect's extent along A
///     meets no earlier defect's (touching is fine), every gap it leaves
///     along A (to the object's ends and to the defects beside it) and
///     along B (to the object's ends) is 0 or at least `least_side`, and,
///     with one stage, it spans the object along B. After 1000 tries the
///     construction fails, naming the defect.
///  3. The first level cuts the object at both ends of every defect along
///     A; the second cuts each defect's piece at both its ends along B,
///     leaving the defect a leaf of its own. Every other piece is a free
///     leaf. (Without defects the object itself is the one free leaf.)
///  4. While there are fewer free leaves than `item_types`: among the free
///     leaves, in the tree's order, those that can be cut; one uniform
///     among them; the way: "along" (one more cut of its own level,
///     parallel to its neighbours') or "across" (a new level below it, at
///     most `stages`), whichever has room (the side cut at least 2
///     `least_side`), u < 0.5 choosing "along" where both have; the cut at
///     `least_side` + uniform in [0, side - 2 least_side] from the leaf's
///     start. When no leaf can be cut the construction fails.
///  5. With `pinwheels` (the non-guillotine variant, step 4 then stopping
///     at `item_types` - 4 `pinwheels` leaves), each pinwheel in turn: among
///     the free leaves whose sides are both at least 3 `least_side`, in the
///     tree's order, one uniform; then a uniform in [m, l - 2m], b in
///     [a + m, l - m], c in [m, w - 2m], d in [c + m, w - m] (m the least
///     side, l x w the leaf, from its corner nearest the origin); the leaf
///     becomes five: [0, b) x [0, c), [b, l) x [0, d), [a, l) x [d, w),
///     [0, a) x [c, w) and the centre [a, b) x [c, d), which no guillotine
///     cut separates.
///  6. The free leaves, in the tree's order, shuffled (for i from the last
///     down to 1, swap i with uniform in [0, i]), become item types 0, 1, ...
///
/// The same parameters give the same instance on every machine.
#ifndef SHEETGEN_PERFECT_PACKING_H_
#define SHEETGEN_PERFECT_PACKING_H_

#include <sheetgen/families.h>
#include <sheetgen/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sheetgen {

/// How the first level of cuts runs.
enum class first_level {
  vertical,    ///< cuts along the width: pieces side by side along the length
  horizontal,  ///< cuts along the length
  any,         ///< drawn: see the law
};

/// What a perfect packing is made of.
struct perfect_parameters {
  rectangle object;         ///< the object's length and width (area within 32 bits)
  int32_t item_types = 10;  ///< leaves that become item types, 1 to MAXMOD
  int32_t stages = 3;       ///< levels of cuts, >= 1
  first_level orientation = first_level::any;
  int32_t least_side = 1;          ///< no item's side is shorter, >= 1
  std::vector<rectangle> defects;  ///< the defects' sizes, placed by the law
  int32_t seed = 1;                ///< 1 to 2^31 - 2
  int32_t pinwheels = 0;           ///< leaves made pinwheels of five items (step 5), >= 0
};

/// A piece of the tree that is neither an item nor a branch.
constexpr int32_t perfect_defect_piece = -1;
/// A piece that is cut further.
constexpr int32_t perfect_branch = -2;
/// A piece made a pinwheel: its five children are no guillotine cut's.
constexpr int32_t perfect_pinwheel = -3;

/// One node of the cutting tree.
struct perfect_node {
  int32_t x = 0, y = 0;           ///< corner nearest the origin
  int32_t length = 0, width = 0;  ///< its sides along x and y
  int32_t parent = -1;            ///< the parent's index in `nodes`; -1 for the root
  int32_t depth = 0;              ///< the level of the cut that made it (the root: 0)
  /// Its item type (>= 0), perfect_defect_piece, perfect_branch or perfect_pinwheel.
  int32_t kind = perfect_branch;
};

/// The instance and its certificate.
struct perfect_packing {
  rectangle object;
  std::vector<rectangle> items;        ///< one copy each, value = area
  std::vector<placed_defect> defects;  ///< in the order of their sizes
  /// The tree, parents before children, the root first; the children of a
  /// node in order along their axis.
  std::vector<perfect_node> nodes;
  bool first_vertical = true;  ///< the first level's cuts run along the width
  int32_t levels = 0;          ///< the deepest level of cuts (at most the stages)
  int64_t optimum = 0;         ///< the items' total area: the usable area
};

/// Builds a perfect packing by the law above. Throws sheetgen::error for
/// parameters outside their ranges, a defect larger than the object, a
/// defect that finds no place ("defect 3 (40 x 20) finds no place: ..."),
/// more free pieces around the defects than `item_types`, or a tree that
/// cannot be cut into `item_types` leaves (or hold its pinwheels).
perfect_packing make_perfect_packing(const perfect_parameters& p);

/// The tree as PackingSolver's rectangleguillotine solution CSV: header
/// PLATE_ID,COPIES,NODE_ID,X,Y,WIDTH,HEIGHT,TYPE,CUT,PARENT; a node per
/// line (plate 0, one copy, NODE_ID its index, WIDTH along x, TYPE its item
/// type, -1 for a defect's piece (waste), -2 for a branch, the root's 0,
/// its bin type); then each defect as TYPE -4 with NODE_ID and CUT -1. A
/// root that is one item is given a single child. Throws sheetgen::error
/// for a packing with pinwheels, which no guillotine tree cuts.
std::string perfect_guillotine_certificate(const perfect_packing& p);

/// Instance `number` (1 to the run's instances) of a run of the family
/// `perfect`, with its tree: the same items and defects as `run.make`
/// gives, so that its certificate can be written. Throws sheetgen::error
/// for a run of another family, a number outside the run, or an instance
/// that cannot be built ("instance 3: defect 2 ... finds no place ...").
perfect_packing perfect_instance(const family_run& run, int32_t number);

/// The items where the tree puts them, as the placement CSV: header
/// instance,item_type,x,y,rotated, then a line per item type in order.
std::string perfect_placements(const perfect_packing& p, int64_t instance = 1);

}  // namespace sheetgen

#endif  // SHEETGEN_PERFECT_PACKING_H_
