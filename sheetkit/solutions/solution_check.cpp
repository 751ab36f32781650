#include "solutions/solution_check.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "figures/bounds.h"
#include "figures/coverage.h"
#include "solutions/guillotine_check.h"
#include "solutions/large_buffer.h"
#include "solutions/overlap_sweep.h"
#include "solutions/poll_every.h"

namespace sheetkit {

namespace {

constexpr int64_t int64_max = std::numeric_limits<int64_t>::max();

// Sums and products that stop at the largest int64 rather than wrap:
// counts from a hostile file must not turn a violation into none.
int64_t sum_capped(int64_t a, int64_t b) {
  int64_t r = 0;
  return __builtin_add_overflow(a, b, &r)
             ? (a < 0 ? std::numeric_limits<int64_t>::min() : int64_max)
             : r;
}
int64_t product_capped(int64_t a, int64_t b) {
  int64_t r = 0;
  return __builtin_mul_overflow(a, b, &r) ? int64_max : r;
}

std::string n(int64_t v) { return std::to_string(v); }

std::string sides(int64_t length, int64_t width) { return n(length) + " x " + n(width); }

// Our defects as people count them, from 1.
std::string defect_text(std::size_t index, const placed_defect& d) {
  return "defect " + std::to_string(index + 1) + " (x " + n(d.x1) + " to " + n(d.x2) + ", y " +
         n(d.y1) + " to " + n(d.y2) + ")";
}

// An item as placed, with its sides known.
struct placed {
  const placement* p;
  int64_t length;
  int64_t width;
  bool known;  // its sides are known (given, or from a known type)
};

// `p` with its sides: the file's, else its type's (swapped when turned);
// unknown when neither is given.
placed placed_item(const placement& p, std::span<const rectangle> types) {
  placed q{&p, p.length, p.width, p.length > 0 && p.width > 0};
  if ((p.length < 0 || p.width < 0) && p.item_type >= 0 &&
      p.item_type < static_cast<int64_t>(types.size())) {
    const rectangle& t = types[static_cast<std::size_t>(p.item_type)];
    q.length = p.rotated ? t.width : t.length;
    q.width = p.rotated ? t.length : t.width;
    q.known = true;
  }
  return q;
}

std::string item_text(const placed& q) {
  std::string s = "item type " + n(q.p->item_type) + " at (" + n(q.p->x) + ", " + n(q.p->y) + ")";
  if (q.known) s += ", " + sides(q.length, q.width);
  return s;
}

violation at_area(std::string text, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  return {std::move(text), true, x1, y1, x2, y2};
}

// The check of one solution, step by step, each step adding what it
// finds to `r`. Its members are the names the steps share.
struct solution_checker {
  solution_checker(const solution_instance& instance, const solution& s,
                   const solution_rules& rules)
      : instance(instance),
        s(s),
        rules(rules),
        keep(rules.max_violations),
        types(static_cast<int64_t>(instance.items.size())),
        object_length(instance.object.length),
        object_width(instance.object.width) {}

  solution_report run() {
    if (s.format == solution_format::rectangle) check_bins();
    check_items();
    check_copies();
    if (s.format != solution_format::placements) check_stated_defects();
    check_overlaps();
    if (s.format == solution_format::guillotine)
      check_guillotine_tree(instance, s, rules.guillotine, r, keep, rules.poll);
    add_figures();
    return std::move(r);
  }

  void add(violation v) { r.add(std::move(v), keep); }
  void add_text(std::string text) { r.add(violation{std::move(text)}, keep); }
  int64_t copies_of(int64_t type) const {
    const auto t = static_cast<std::size_t>(type);
    if (t < rules.type_copies.size()) return rules.type_copies[t];
    return t < instance.values.size() ? instance.values[t].copies : rules.copies;
  }
  bool may_turn(int64_t type) const {
    const auto t = static_cast<std::size_t>(type);
    return t < rules.type_rotation.size() ? static_cast<bool>(rules.type_rotation[t])
                                          : rules.rotation;
  }

  // The bins: one, the object.
  void check_bins() {
    if (s.bins.empty() && !s.items.empty())
      add_text(s.file + ": no BIN row; the object is bin type 0, " +
               sides(object_length, object_width));
    const stated_bin* first_bin = nullptr;
    for (const stated_bin& b : s.bins) {
      const std::string at = located(s, b.line) + ": ";
      if (first_bin != nullptr) {
        add_text(at + "a second BIN row (the first is line " + n(first_bin->line) +
                 "): the object is one bin, bin 0");
        continue;
      }
      first_bin = &b;
      if (b.type != 0) {
        add_text(at + "bin type " + n(b.type) +
                 " is not the object's: the export has one bin type, 0");
      } else if (b.length != object_length || b.width != object_width) {
        add_text(at + "bin type 0 is " + sides(b.length, b.width) + " here; the object is " +
                 sides(object_length, object_width));
      }
      if (b.copies != 1 || b.position != 0) {
        add_text(at + "bin " + n(b.position) +
                 (b.copies > 1 ? " (" + n(b.copies) + " copies)" : "") +
                 ": the object is one bin, bin 0");
      }
    }
  }

  // Every item: its type, its sides, inside the object, in bin 0; the boxes
  // the sweep takes, and the copies of each type used.
  void check_items() {
    boxes.reserve(s.items.size());
    boxed.reserve(s.items.size());
    prefer_huge_pages(boxes);
    prefer_huge_pages(boxed);
    used.assign(instance.items.size(), 0);
    first_line.assign(instance.items.size(), 0);
    poll_every step(rules.poll);
    for (const placement& p : s.items) {
      step();
      const placed q = placed_item(p, instance.items);
      // Only a violation needs the line's name: a million feasible items make none.
      const auto at = [&] { return located(s, p.line) + ": "; };
      if (p.item_type < 0 || p.item_type >= types) {
        add_text(at() + "item type " + n(p.item_type) + " is none of the instance's " + n(types) +
                 " item types" + (types > 0 ? " (0 to " + n(types - 1) + ")" : "") +
                 ": a solution for another instance?");
      } else {
        const rectangle& t = instance.items[static_cast<std::size_t>(p.item_type)];
        const bool turn_ok = may_turn(p.item_type);
        const bool as_is = q.length == t.length && q.width == t.width;
        const bool turned = q.length == t.width && q.width == t.length;
        // A square turned is the same square: no turn to forbid.
        if (p.rotated && as_is && !turned && p.length > 0) {
          add(at_area(at() + item_text(q) + ": rotated 1, but these are item type " +
                          n(p.item_type) + "'s sides unturned, " + sides(t.length, t.width),
                      p.x, p.y, sum_capped(p.x, q.length), sum_capped(p.y, q.width)));
        } else if (!as_is && turned && !turn_ok) {
          add(at_area(at() + item_text(q) + ": item type " + n(p.item_type) + " is " +
                          sides(t.length, t.width) + ", turned here, and rotation is not allowed",
                      p.x, p.y, sum_capped(p.x, q.length), sum_capped(p.y, q.width)));
        } else if (!as_is && !turned) {
          add(at_area(at() + item_text(q) + ": item type " + n(p.item_type) + " is " +
                          sides(t.length, t.width) + (turn_ok ? " (or turned)" : ""),
                      p.x, p.y, sum_capped(p.x, q.length), sum_capped(p.y, q.width)));
        }
        int64_t& u = used[static_cast<std::size_t>(p.item_type)];
        if (u == 0) first_line[static_cast<std::size_t>(p.item_type)] = p.line;
        // Counted once: more copies are a violation above, and lie on this one.
        u = sum_capped(u, 1);
      }
      // A row's COPIES is the number of identical bins (plates) it stands in:
      // on our one object, copies beyond 1 would lie on each other. The tree
      // check words this for a guillotine certificate's nodes.
      if (p.copies != 1 && s.format != solution_format::guillotine) {
        add_text(at() + item_text(q) + " has COPIES " + n(p.copies) +
                 ": a row's COPIES is the number of identical bins it stands in, and the object "
                 "is one bin (COPIES 1)");
      }
      if (p.bin != 0) {
        add_text(at() + item_text(q) + " lies in bin " + n(p.bin) +
                 ": the object is one bin, bin 0");
        continue;
      }
      if (q.known &&
          !(p.x >= 0 && p.y >= 0 && q.length <= object_length && q.width <= object_width &&
            p.x <= object_length - q.length && p.y <= object_width - q.width)) {
        add(at_area(at() + item_text(q) + " is not inside the object (x 0 to " + n(object_length) +
                        ", y 0 to " + n(object_width) + ")",
                    p.x, p.y, sum_capped(p.x, q.length), sum_capped(p.y, q.width)));
      }
      if (q.known) {
        boxes.push_back({p.x, p.y, sum_capped(p.x, q.length), sum_capped(p.y, q.width)});
        boxed.push_back(&p);
      }
    }
  }

  // No type placed more often than its copies allow.
  void check_copies() {
    for (std::size_t t = 0; t < used.size(); ++t) {
      const int64_t allowed = copies_of(static_cast<int64_t>(t));
      if (allowed != unlimited_copies && used[t] > allowed) {
        add_text(located(s, first_line[t]) + ": item type " + std::to_string(t) + " is placed " +
                 n(used[t]) + " times (first here); its copies allow " + n(allowed));
      }
    }
  }

  // The defects the certificate states are those of our defect file.
  void check_stated_defects() {
    const std::size_t ours = instance.defects.size();
    for (std::size_t k = 0; k < s.defects.size(); ++k) {
      const stated_defect& d = s.defects[k];
      const std::string at = located(s, d.line) + ": ";
      const std::string stated =
          "the certificate's defect " +
          (s.format == solution_format::rectangle ? "ID " + n(d.index) + " " : std::string()) +
          "at (" + n(d.x) + ", " + n(d.y) + "), " + sides(d.length, d.width);
      if (d.bin != 0) {
        add_text(at + stated + " lies in " +
                 (s.format == solution_format::rectangle ? "bin " : "plate ") + n(d.bin) +
                 ": the object is one bin, bin 0");
        continue;
      }
      if (k >= ours) {
        add_text(at + stated + " is not ours: the instance has " + std::to_string(ours) +
                 (ours == 1 ? " defect" : " defects") + "; the solver read other defects");
        continue;
      }
      const placed_defect& f = instance.defects[k];
      const bool same_index =
          s.format == solution_format::guillotine || d.index == static_cast<int64_t>(k);
      if (!same_index || d.x != f.x1 || d.y != f.y1 || d.length != int64_t{f.x2} - f.x1 ||
          d.width != int64_t{f.y2} - f.y1) {
        add_text(at + stated + " is not our " + defect_text(k, f) +
                 "; the solver read other defects");
      }
    }
    for (std::size_t k = s.defects.size(); k < ours; ++k) {
      add_text(s.file + ": our " + defect_text(k, instance.defects[k]) +
               " is missing from the certificate; the solver read other defects");
    }
  }

  // Overlaps, by one sweep.
  void check_overlaps() {
    std::vector<sweep_box> defects(instance.defects.size());
    for (std::size_t k = 0; k < defects.size(); ++k) {
      const placed_defect& d = instance.defects[k];
      defects[k] = {d.x1, d.y1, d.x2, d.y2};
    }
    int64_t named = 0;
    const overlap_counts counts = find_overlaps(
        boxes, defects, [&] { return r.violations.size() < keep; },
        [&](std::size_t a, std::size_t b, bool defect) {
          ++named;
          const sweep_box& u = boxes[a];
          const sweep_box& v = defect ? defects[b] : boxes[b];
          const int64_t x1 = std::max(u.x1, v.x1), y1 = std::max(u.y1, v.y1);
          const int64_t x2 = std::min(u.x2, v.x2), y2 = std::min(u.y2, v.y2);
          const placed item_a = placed_item(*boxed[a], instance.items);
          if (defect) {
            add(at_area(located(s, item_a.p->line) + ": " + item_text(item_a) + ", overlaps " +
                            defect_text(b, instance.defects[b]),
                        x1, y1, x2, y2));
            return;
          }
          const placed item_b = placed_item(*boxed[b], instance.items);
          const placed* first = &item_a;
          const placed* second = &item_b;
          if (second->p->line < first->p->line) std::swap(first, second);
          const std::string lines = first->p->line > 0 ? located(s, first->p->line) + ", " +
                                                             n(second->p->line - (s.rows ? 1 : 0))
                                                       : s.file;
          add(at_area(lines + ": " + item_text(*first) + ", overlaps " + item_text(*second), x1, y1,
                      x2, y2));
        },
        rules.poll);
    r.violation_count += counts.item_pairs + counts.defect_pairs - named;
  }

  // The figures.
  void add_figures() {
    solution_figures& f = r.figures;
    for (std::size_t t = 0; t < used.size(); ++t) {
      if (used[t] == 0) continue;
      ++f.distinct_types;
      f.items_placed = sum_capped(f.items_placed, used[t]);
      f.placed_area = sum_capped(f.placed_area, product_capped(instance.items[t].area, used[t]));
    }
    f.profit = f.placed_area;
    if (!instance.values.empty()) {
      f.profit = 0;
      for (std::size_t t = 0; t < used.size() && t < instance.values.size(); ++t)
        f.profit = sum_capped(f.profit, product_capped(instance.values[t].value, used[t]));
    }
    f.object_area = object_length * object_width;
    {
      union_area_calculator area;
      f.usable_area = f.object_area - area(instance.defects);
    }
    f.available_area = 0;
    for (std::size_t t = 0; t < instance.items.size(); ++t) {
      const int64_t c = copies_of(static_cast<int64_t>(t));
      if (c == unlimited_copies) {
        f.available_area = -1;
        break;
      }
      f.available_area = sum_capped(f.available_area, product_capped(instance.items[t].area, c));
    }
    {
      // The best of the bounds (bounds.h) under these copies and turns, at
      // most min(usable area, available area).
      std::vector<int64_t> copies(instance.items.size());
      for (std::size_t t = 0; t < copies.size(); ++t)
        copies[t] = copies_of(static_cast<int64_t>(t));
      bound_input b;
      b.object = instance.object;
      b.items = instance.items;
      b.defects = instance.defects;
      b.copies = copies;
      b.rotation = rules.rotation ||
                   std::find(rules.type_rotation.begin(), rules.type_rotation.end(), true) !=
                       rules.type_rotation.end();
      f.area_bound = compute_bounds(b).best;
    }
  }

  const solution_instance& instance;
  const solution& s;
  const solution_rules& rules;
  const std::size_t keep;
  const int64_t types;
  const int64_t object_length;
  const int64_t object_width;
  solution_report r;
  // The items the sweep takes (those whose sides are known): their boxes,
  // and which of s.items each is. Compact, as a million of them are.
  std::vector<sweep_box> boxes;
  std::vector<const placement*> boxed;
  std::vector<int64_t> used;        // per type, the copies placed
  std::vector<int64_t> first_line;  // per type, where it is first placed
};

}  // namespace

std::string located(const std::string& file, int64_t line) {
  return line > 0 ? file + ":" + std::to_string(line) : file;
}

std::string located(const solution& s, int64_t line) {
  if (!s.rows || line <= 0) return located(s.file, line);
  return s.file + " " + std::to_string(line - 1);
}

double utilisation_of(int64_t placed, int64_t usable) {
  return usable > 0 ? static_cast<double>(placed) / static_cast<double>(usable) : 0.0;
}

double gap_of(int64_t bound, int64_t placed) {
  return bound > 0 ? static_cast<double>(bound - placed) / static_cast<double>(bound) : 0.0;
}

double solution_figures::optimum_gap() const {
  return known_optimum ? gap_of(*known_optimum, profit) : 0.0;
}

std::vector<std::string> solution_report::lines() const {
  std::vector<std::string> out;
  out.reserve(violations.size() + 1);
  for (const violation& v : violations) out.push_back(v.text);
  const int64_t more = violation_count - static_cast<int64_t>(violations.size());
  if (more > 0) {
    out.push_back("... and " + std::to_string(more) +
                  (more == 1 ? " more violation" : " more violations"));
  }
  return out;
}

void solution_report::add(violation v, std::size_t keep) {
  ++violation_count;
  if (violations.size() < keep) violations.push_back(std::move(v));
}

solution_report check_solution(const solution_instance& instance, const solution& s,
                               const solution_rules& rules) {
  return solution_checker(instance, s, rules).run();
}

solution_report check_placements(const solution_instance& instance,
                                 std::span<const placement> placements, const solution_rules& rules,
                                 const std::string& file) {
  solution s;
  s.file = file;
  s.items.assign(placements.begin(), placements.end());
  return check_solution(instance, s, rules);
}

}  // namespace sheetkit
