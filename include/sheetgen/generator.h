/// \file
/// Generation into memory: the item types of every instance, one instance
/// at a time, then the defect positions of every instance. The defects'
/// draws continue after the last item's, so the defect pass can only be
/// had from a finished item pass.
#ifndef SHEETGEN_GENERATOR_H_
#define SHEETGEN_GENERATOR_H_

#include <sheetgen/types.h>

#include <memory>
#include <span>

namespace sheetgen {

class defect_placer;

/// The item pass of a run. Tables are allocated once, when it is made.
class item_generator {
 public:
  /// Checks `p` as the dialogue does (throws `error` with its message),
  /// derives the area bounds, seeds the generator with p.seed and makes the
  /// draw that every run discards.
  explicit item_generator(run_parameters p);
  ~item_generator();
  item_generator(item_generator&&) noexcept;
  item_generator& operator=(item_generator&&) noexcept;

  /// Generates the item types of the next instance; false, with nothing
  /// generated, once every instance has been. Throws `error` (and ends the
  /// pass) when an item cannot be given admissible integer dimensions.
  bool next();

  /// The item types of the instance that `next` generated last.
  std::span<const rectangle> items() const;

  /// How many instances `next` has generated.
  int32_t instances_done() const;

  /// The answers, with the area bounds derived.
  const run_parameters& parameters() const;

  /// The defect pass. Instances whose items were not asked for yet are
  /// generated (and dropped) first, since the defects' draws come after
  /// them; this throws `error` where `next` would.
  defect_placer defects() &&;

 private:
  struct state;
  std::unique_ptr<state> s_;
};

/// The defect pass of a run, made by item_generator::defects.
class defect_placer {
 public:
  /// A placer at the same point of the same run, going on by itself: one
  /// item pass can serve any number of defect passes.
  defect_placer(const defect_placer& other);
  ~defect_placer();
  defect_placer(defect_placer&&) noexcept;
  defect_placer& operator=(defect_placer&&) noexcept;

  /// Places the defects of the next instance; false once every instance has
  /// its defects.
  bool next();

  /// The defects of the instance that `next` placed last, in the order entered.
  std::span<const placed_defect> defects() const;

  /// How many instances `next` has placed defects in.
  int32_t instances_done() const;

 private:
  friend class item_generator;
  struct state;
  explicit defect_placer(std::unique_ptr<state> s);
  std::unique_ptr<state> s_;
};

}  // namespace sheetgen

#endif  // SHEETGEN_GENERATOR_H_
