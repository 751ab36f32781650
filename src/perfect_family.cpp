// The perfect packing as a family: every instance a random guillotine
// tree cut around its defects, whose leaves are the item types, so that
// its optimum is known.
#include <sheetgen/perfect_packing.h>

#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "family_parts.h"

namespace sheetgen {

const parameter_info perfect_parameters_table[8] = {
    {"items", parameter_kind::integer, 1, MAXMOD, nullptr, "item types per instance"},
    {"length", parameter_kind::integer, 1, 46340, "1000", "the object's length"},
    {"width", parameter_kind::integer, 1, 46340, "1000", "the object's width"},
    {"stages", parameter_kind::integer, 1, 100, "3", "levels of cuts of the tree"},
    {"orientation", parameter_kind::orientation, 0, 0, "any",
     "how the first level's cuts run: vertical (along the width), horizontal or any (drawn)"},
    {"least", parameter_kind::integer, 1, 46340, "1", "no item's side and no gap is shorter"},
    {"defect_sizes", parameter_kind::sizes, 1, MAXDEF, "none",
     "the defects' sizes, placed and cut out by the tree"},
    {"pinwheels", parameter_kind::integer, 0, MAXMOD / 4, "0",
     "leaves made pinwheels of five items that no guillotine cut separates"},
};

namespace {

std::string sides(const rectangle& r) {
  return std::to_string(r.length) + " x " + std::to_string(r.width);
}

class perfect final : public family {
 public:
  explicit perfect(perfect_parameters p) : p_(std::move(p)) {}

  rectangle object() const override { return p_.object; }
  bool makes_defects() const override { return !p_.defects.empty(); }
  // Defects laid over its tree would cover items: the optimum would be lost.
  bool takes_defect_law() const override { return false; }
  bool knows_optimum() const override { return true; }

  // Every item placed once is the best, and its value is its area.
  std::optional<int64_t> known_optimum(const family_instance& in) const override {
    return std::accumulate(in.values.begin(), in.values.end(), int64_t{0});
  }

  perfect_packing packing(int32_t number, int32_t seed) const {
    perfect_parameters p = p_;
    p.seed = stream_start(seed, number, 0);
    return make_perfect_packing(p);
  }

  void make_items(int32_t number, int32_t seed, family_instance& out) const override {
    perfect_packing made = packing(number, seed);
    out.items = std::move(made.items);
    out.values.resize(out.items.size());
    out.copies.assign(out.items.size(), 1);
    for (std::size_t k = 0; k < out.items.size(); ++k) out.values[k] = out.items[k].area;
    out.defects = std::move(made.defects);
  }

 private:
  perfect_parameters p_;
};

// What is wrong with the defects when the first level's cuts run so
// (vertical: along the width), or "": a defect whose sides leave gaps the
// least side forbids, or defects that cannot lie side by side.
std::string defects_problem(const perfect_parameters& p, bool vertical) {
  const int64_t m = p.least_side;
  const int64_t A = vertical ? p.object.length : p.object.width;
  const int64_t B = vertical ? p.object.width : p.object.length;
  const std::string axis = vertical ? "length" : "width";
  const std::string other = vertical ? "width" : "length";
  int64_t taken = 0;
  for (std::size_t k = 0; k < p.defects.size(); ++k) {
    const rectangle& d = p.defects[k];
    const std::string name = "perfect: defect " + std::to_string(k + 1) + " (" + sides(d) + ")";
    const int64_t la = vertical ? d.length : d.width, lb = vertical ? d.width : d.length;
    if (p.stages == 1 && lb != B)
      return name + " needs stages 2 or more: with one, a defect spans the object's " + other;
    if (lb != B && la < m) {
      return name + " is shorter along the object's " + axis + " than least " + std::to_string(m) +
             ", and so would be the items beside it";
    }
    if ((A - la > 0 && A - la < m) || (B - lb > 0 && B - lb < m))
      return name + " leaves a gap to the object's side shorter than least " + std::to_string(m);
    taken += la;
    if (taken > A) {
      return name + ": defects 1 to " + std::to_string(k + 1) +
             " side by side along the object's " + axis + " (as the tree cuts them out) need " +
             std::to_string(taken) + ", more than its " + std::to_string(A);
    }
  }
  return "";
}

// What no draw can mend, refused before anything is made, under every
// orientation the first level may take.
void check_defects(const perfect_parameters& p) {
  const int64_t m = p.least_side;
  if (p.object.length < m || p.object.width < m) {
    throw family_error("perfect: least " + std::to_string(m) +
                       " is longer than a side of the object " + sides(p.object));
  }
  for (std::size_t k = 0; k < p.defects.size(); ++k) {
    const rectangle& d = p.defects[k];
    if (d.length > p.object.length || d.width > p.object.width) {
      throw family_error("perfect: defect " + std::to_string(k + 1) + " (" + sides(d) +
                         ") is larger than the object " + sides(p.object));
    }
  }
  const std::string vertical =
      p.orientation == first_level::horizontal ? "" : defects_problem(p, true);
  const std::string horizontal =
      p.orientation == first_level::vertical ? "" : defects_problem(p, false);
  if (p.orientation != first_level::any || (!vertical.empty() && !horizontal.empty()))
    if (!vertical.empty() || !horizontal.empty())
      throw family_error(vertical.empty() ? horizontal : vertical);
  // Where only one way fails, orientation any would draw it on some instances.
  if (!vertical.empty() || !horizontal.empty()) {
    throw family_error((vertical.empty() ? horizontal : vertical) +
                       " (orientation any may draw the first level's cuts that way: give "
                       "orientation " +
                       (vertical.empty() ? "vertical" : "horizontal") + ")");
  }
}

}  // namespace

std::unique_ptr<family> make_perfect(std::span<const parameter> c) {
  perfect_parameters p;
  p.item_types = static_cast<int32_t>(integer_at(c, 0));
  p.object =
      rectangle::of(static_cast<int32_t>(integer_at(c, 1)), static_cast<int32_t>(integer_at(c, 2)));
  p.stages = static_cast<int32_t>(integer_at(c, 3));
  p.orientation = c[4].second == "vertical"     ? first_level::vertical
                  : c[4].second == "horizontal" ? first_level::horizontal
                                                : first_level::any;
  p.least_side = static_cast<int32_t>(integer_at(c, 5));
  if (c[6].second != "none") p.defects = parse_sizes(c[6].second);
  p.pinwheels = static_cast<int32_t>(integer_at(c, 7));
  if (int64_t{p.pinwheels} * 4 >= p.item_types) {
    throw family_error("perfect: pinwheels " + std::to_string(p.pinwheels) +
                       " make 5 item types of a leaf each and leave one besides: items " +
                       std::to_string(p.item_types) + " take at most " +
                       std::to_string((p.item_types - 1) / 4));
  }
  check_defects(p);
  return std::make_unique<perfect>(std::move(p));
}

perfect_packing perfect_instance(const family_run& run, int32_t number) {
  const auto* law = dynamic_cast<const perfect*>(&run.item_law());
  if (law == nullptr)
    throw error("the family " + run.settings().family + " builds no perfect packing");
  if (number < 1 || number > run.settings().instances) {
    throw error("instance " + std::to_string(number) + " is not one of the run's 1 to " +
                std::to_string(run.settings().instances));
  }
  try {
    return law->packing(number, run.settings().seed);
  } catch (const error& e) {
    throw error("instance " + std::to_string(number) + ": " + e.what());
  }
}

}  // namespace sheetgen
