/// \file
/// Instance families: laws other than the dialogue's that make the item
/// types of an instance (with a value and a number of copies each), and
/// defect laws that lay defects on them.
///
/// Every instance of a family is made on its own: instance k's items come
/// from a stream of their own and its defects from another, so that any
/// instance can be made without the others (in any order, on any thread),
/// and changing the defects never changes an item. A family is chosen by
/// name with parameters given as text, as a command line, a suite file or
/// a recipe gives them; `family_run` checks them and makes the instances.
///
/// A new family is a class derived from `family` and an entry in the
/// table that `family_kinds` returns (src/families.cpp).
#ifndef SHEETGEN_FAMILIES_H_
#define SHEETGEN_FAMILIES_H_

#include <sheetgen/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetgen {

/// The copies of an item type that may be cut as often as it fits.
constexpr int64_t unlimited_copies = -1;

/// A bad family, defect law or parameter: `what()` names the value and
/// says what is allowed ("did you mean" for a misspelt name). Callers
/// report it as a usage error: nothing has been made.
class family_error : public error {
 public:
  using error::error;
};

/// One instance of a family, as `family_run::make` fills it.
struct family_instance {
  std::vector<rectangle> items;        ///< the item types, in the order drawn
  std::vector<int64_t> values;         ///< one per item type
  std::vector<int64_t> copies;         ///< one per item type; unlimited_copies for no limit
  std::vector<placed_defect> defects;  ///< in the order drawn
};

/// A parameter as given: its name and its value as text.
using parameter = std::pair<std::string, std::string>;

/// What a family run is made of: a family and its parameters, a defect law
/// and its parameters, how many instances, and the seed.
struct family_settings {
  std::string family;                        ///< "binpacking", "knapsack", "gcut", "perfect"
  std::vector<parameter> parameters;         ///< the family's, by name
  std::string defects;                       ///< "" (none), "sizes", "separate" or "points"
  std::vector<parameter> defect_parameters;  ///< the defect law's, by name
  int32_t instances = 1;                     ///< 1 to MAXMOD
  int32_t seed = 1;                          ///< seeds every stream of the run
  /// Nested layers: keep only the first `layer` defects of each instance's
  /// draw (0 to MAXDEF), so that runs differing in it alone share their
  /// items and their first defects; -1 keeps them all.
  int32_t layer = -1;
};

/// What kind of value a parameter takes.
enum class parameter_kind {
  integer,      ///< decimal digits, from `low` to `high`
  fraction,     ///< a decimal such as 0.167 (at most 6 places), above 0 and at most 1
  copies,       ///< an integer from `low` to `high`, or the word unlimited
  sizes,        ///< defect sizes "LENGTHxWIDTH,...", at most MAXDEF of them; also
                ///< the word none where that is the parameter's default
  orientation,  ///< vertical, horizontal or any
};

/// What a parameter takes, for help texts, documentation and messages.
struct parameter_info {
  const char* name;           ///< as it is given: "items"
  parameter_kind kind;        ///< what its text must be
  int64_t low;                ///< the least integer allowed (integer, copies)
  int64_t high;               ///< the largest integer allowed (integer, copies)
  const char* default_value;  ///< as text; nullptr when it must be given
  const char* about;          ///< one line
};

/// A family's item law, made by `family_kind::make` from checked
/// parameters. Implementations are immutable, so one may serve many
/// threads.
class family {
 public:
  virtual ~family() = default;

  /// The large object.
  virtual rectangle object() const = 0;

  /// Fills `items`, `values` and `copies` of `out` (emptied first; the
  /// capacity is reused) with the item types of instance `number` (from 1)
  /// of a run seeded with `seed`. Touches `out.defects` only where the
  /// family makes its own (makes_defects), then filling them too. Throws
  /// `error` when the law cannot make the instance.
  virtual void make_items(int32_t number, int32_t seed, family_instance& out) const = 0;

  /// Whether the family places defects itself, as part of its items' law
  /// (the perfect family cuts them out of its tree): make_items then fills
  /// `out.defects`.
  virtual bool makes_defects() const { return false; }

  /// Whether a defect law may lay defects on the family's instances: not
  /// where that would break what the family promises (a known optimum).
  virtual bool takes_defect_law() const { return true; }

  /// Whether every instance's optimum is known by construction.
  virtual bool knows_optimum() const { return false; }

  /// The best total value of instance `in` (as make_items made it, or as
  /// read back from its files), where knows_optimum(); nullopt otherwise.
  virtual std::optional<int64_t> known_optimum(const family_instance& in) const {
    (void)in;
    return std::nullopt;
  }
};

/// A defect law, made by `defect_law_kind::make` from checked parameters.
class defect_law {
 public:
  virtual ~defect_law() = default;

  /// Fills `out` (emptied first) with the defects of one instance on
  /// `object`, drawn from the minimal standard generator started at
  /// `stream` (1 to 2^31 - 2). Throws `error` naming the defect when the
  /// law cannot place one. The first k defects never depend on how many
  /// follow them.
  virtual void draw(rectangle object, int32_t stream, std::vector<placed_defect>& out) const = 0;
};

/// An entry of the table of families.
struct family_kind {
  const char* name;                            ///< as settings name it
  const char* about;                           ///< one line
  std::span<const parameter_info> parameters;  ///< in the order documented
  /// The family, from parameters that are all known, in range and given
  /// (defaults filled in), in the order of `parameters`; throws
  /// family_error for a combination that is not allowed.
  std::unique_ptr<family> (*make)(std::span<const parameter> checked);
};

/// An entry of the table of defect laws.
struct defect_law_kind {
  const char* name;                            ///< as settings name it
  const char* about;                           ///< one line
  std::span<const parameter_info> parameters;  ///< in the order documented
  /// The law for `object`, from checked parameters as for family_kind.
  std::unique_ptr<defect_law> (*make)(std::span<const parameter> checked, rectangle object);
};

/// Every family, in the order documented.
std::span<const family_kind> family_kinds();

/// Every defect law, in the order documented.
std::span<const defect_law_kind> defect_law_kinds();

/// The first state of instance `number`'s stream `purpose` (0: items, 1:
/// defects) in a run seeded with `seed`: the 64-bit mix documented in
/// docs/families.md, reduced to 1 .. 2^31 - 2.
int32_t stream_start(int32_t seed, int32_t number, int32_t purpose);

/// A family run: its settings checked, and any of its instances made on
/// request.
class family_run {
 public:
  /// Checks `settings` (throws family_error naming the family, law or
  /// parameter that is wrong, and what it could be) and keeps them with
  /// every default filled in, in the documented order.
  explicit family_run(family_settings settings);
  ~family_run();
  family_run(family_run&&) noexcept;
  family_run& operator=(family_run&&) noexcept;

  /// The settings, complete and in order: the same for every way of
  /// giving the same run.
  const family_settings& settings() const;

  /// The large object.
  rectangle object() const;

  /// Whether the run's instances have a defect file: a defect law, or a
  /// family that places defects of its own.
  bool has_defects() const;

  /// Whether the family places its defects itself (no defect law then).
  bool makes_defects() const;

  /// Whether every instance's optimum is known by construction (see
  /// family::known_optimum): the recipe says so, and the referee gives the
  /// gap to it.
  bool knows_optimum() const;

  /// Instance `in`'s known optimum (its best total value), or nullopt when
  /// the family knows none.
  std::optional<int64_t> known_optimum(const family_instance& in) const;

  /// The family's law itself, for what only one family offers (see
  /// perfect_instance).
  const family& item_law() const;

  /// Makes instance `number` (1 to settings().instances) into `out`,
  /// reusing its capacity. Throws `error` when a defect cannot be placed
  /// or the family's law cannot make it ("instance 3: defect 5 ..."). Safe to call from several
  /// threads at once.
  void make(int32_t number, family_instance& out) const;

 private:
  struct state;
  std::unique_ptr<state> s_;
};

/// "LENGTHxWIDTH,..." as defect sizes, for the law `sizes`; throws
/// family_error naming the value.
std::vector<rectangle> parse_sizes(std::string_view text);

}  // namespace sheetgen

#endif  // SHEETGEN_FAMILIES_H_
