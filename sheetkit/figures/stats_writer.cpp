#include "figures/stats_writer.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <type_traits>

#include "text/json_format.h"
#include "text/text.h"

namespace sheetkit {

namespace {

using json = nlohmann::ordered_json;

// Relative to the object, NaN for an object without area.
double relative(double value, int64_t object_area) {
  return object_area > 0 ? value / static_cast<double>(object_area)
                         : std::numeric_limits<double>::quiet_NaN();
}

std::string format(const char* pattern, double value) {
  if (std::isnan(value)) return "-";
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), pattern, value);
  return text.data();
}
std::string integer(int64_t v) { return std::to_string(v); }
std::string percent(double fraction) { return format("%.3f%%", 100 * fraction); }
std::string fixed(double v) { return format("%.4f", v); }
std::string mean(double v) { return format("%.2f", v); }

void row(std::ostream& out, const std::string& label, const std::string& a, const std::string& b,
         const std::string& c) {
  std::array<char, 160> line{};
  std::snprintf(line.data(), line.size(), "%-30s %14s %14s %14s\n", label.c_str(), a.c_str(),
                b.c_str(), c.c_str());
  out << line.data();
}

// One table row from a spread, each value shown by `show`.
template <typename T, typename M, typename Show>
void row(std::ostream& out, const std::string& label, const spread<T, M>& s, Show show) {
  if (s.count == 0) return row(out, label, "-", "-", "-");
  row(out, label, show(s.min), show(s.middle), show(s.max));
}

void write_summary(std::ostream& out, const run_stats& s) {
  const int64_t area = s.object_area;
  out << "object " << s.object.length << " x " << s.object.width << " (area " << area << "), "
      << count_of(s.instances, "instance") << ", " << count_of(s.items, "item type") << '\n';
  if (s.area_bounds) {
    out << "area bounds " << s.area_bounds->minarea << " .. " << s.area_bounds->maxarea
        << " (relative " << shortest_text(s.area_bounds->minrelsize) << " .. "
        << shortest_text(s.area_bounds->maxrelsize) << ")\n";
  }
  out << '\n';
  row(out, "all item types", "min", "median", "max");
  row(out, "item area", s.item_area, [](int64_t v) { return integer(v); });
  row(out, "item area / object area", s.item_area,
      [&](int64_t v) { return percent(relative(static_cast<double>(v), area)); });
  row(out, "length / width", s.ratio, [](double v) { return fixed(v); });
  out << '\n';
  row(out, "per instance", "min", "mean", "max");
  const auto show_integer = [](auto v) {
    if constexpr (std::is_same_v<decltype(v), double>)
      return mean(v);
    else
      return integer(v);
  };
  const auto show_relative = [&](auto v) {
    return percent(relative(static_cast<double>(v), area));
  };
  row(out, "item types", s.items_per_instance, show_integer);
  row(out, "total item area", s.total_area, show_integer);
  row(out, "total item area / object area", s.total_area, show_relative);
  row(out, "defects", s.defects_per_instance, show_integer);
  row(out, "defect coverage", s.covered_area, show_relative);
  row(out, "usable area", s.usable_area, show_integer);
  row(out, "best bound", s.best_bound, show_integer);
  out << '\n';
  out << "item types longer or wider than the object: " << s.items_not_fitting << '\n';
  if (s.area_bounds)
    out << "item types with area outside the bounds: " << s.items_outside_bounds << '\n';
  out << "best bound: on the placed area, the least of the usable area, the copies that fit and\n"
         "  the knapsack bound, with "
      << (s.bound_rules.copies < 0 ? std::string("unlimited copies")
                                   : std::to_string(s.bound_rules.copies) +
                                         (s.bound_rules.copies == 1 ? " copy" : " copies"))
      << " of each item type" << (s.bound_rules.rotation ? ", turned or not" : ", never turned")
      << "\n  knapsack bound exact in " << count_of(s.knapsack_exact, "instance")
      << ", the linear relaxation in " << s.knapsack_relaxation << '\n';
  out << "median: the lower of the two middle values when their number is even\n";
}

class text_writer : public stats_writer {
 public:
  text_writer(std::ostream& out, const run_info& run)
      : out_(out), object_area_(stats_head(run).object_area) {}

  void row(const instance_stats& r) override {
    if (!rows_) {
      out_ << "instance  item types    area min      median    area max  total area   defects    "
              "coverage  usable area  best bound  bound by\n";
      rows_ = true;
    }
    const bool any = r.items > 0;
    std::array<char, 200> line{};
    std::snprintf(line.data(), line.size(),
                  "%8lld  %10lld  %10s  %10s  %10s  %10s  %8lld  %10s  %11lld  %10lld  %s\n",
                  static_cast<long long>(r.number), static_cast<long long>(r.items),
                  any ? integer(r.area_min).c_str() : "-",
                  any ? integer(r.area_median).c_str() : "-",
                  any ? integer(r.area_max).c_str() : "-",
                  percent(relative(static_cast<double>(r.total_area), object_area_)).c_str(),
                  static_cast<long long>(r.defects),
                  percent(relative(static_cast<double>(r.covered_area), object_area_)).c_str(),
                  static_cast<long long>(r.bounds.usable_area),
                  static_cast<long long>(r.bounds.best), std::string(r.bounds.best_name).c_str());
    out_ << line.data();
  }

  void summary(const run_stats& s) override {
    if (rows_) out_ << '\n';
    write_summary(out_, s);
  }

 private:
  std::ostream& out_;
  int64_t object_area_;
  bool rows_ = false;
};

json number(double v) { return std::isnan(v) ? json(nullptr) : json(v); }

template <typename T, typename M, typename F>
json spread_json(const spread<T, M>& s, const char* middle, F value) {
  json j;
  j["min"] = s.count == 0 ? json(nullptr) : value(s.min);
  j[middle] = s.count == 0 ? json(nullptr) : value(s.middle);
  j["max"] = s.count == 0 ? json(nullptr) : value(s.max);
  return j;
}

// What is known before the run is read.
json head_json(const run_stats& s) {
  json j;
  j["format_version"] = json_format_version;
  j["object"] = {{"length", s.object.length}, {"width", s.object.width}, {"area", s.object_area}};
  if (s.area_bounds) {
    // As the dialogue reads them: a JSON number would not keep the text.
    j["bounds"] = {{"lower", shortest_text(s.area_bounds->minrelsize)},
                   {"upper", shortest_text(s.area_bounds->maxrelsize)},
                   {"min_area", s.area_bounds->minarea},
                   {"max_area", s.area_bounds->maxarea}};
  } else {
    j["bounds"] = nullptr;
  }
  j["median"] = "lower";
  return j;
}

// What needs every instance.
json figures_json(const run_stats& s) {
  const int64_t area = s.object_area;
  const auto same = [](auto v) { return json(v); };
  const auto rel = [&](auto v) { return number(relative(static_cast<double>(v), area)); };
  json j;
  j["instances"] = s.instances;
  j["item_types_total"] = s.items;
  j["item_area"] = spread_json(s.item_area, "median", same);
  j["item_area_relative"] = spread_json(s.item_area, "median", rel);
  j["length_width_ratio"] = spread_json(s.ratio, "median", [](double v) { return number(v); });
  j["item_types_not_fitting"] = s.items_not_fitting;
  j["item_types_outside_bounds"] = s.area_bounds ? json(s.items_outside_bounds) : json(nullptr);
  j["item_types_per_instance"] = spread_json(s.items_per_instance, "mean", same);
  j["total_item_area_per_instance"] = spread_json(s.total_area, "mean", same);
  j["total_item_area_relative_per_instance"] = spread_json(s.total_area, "mean", rel);
  j["defects_per_instance"] = spread_json(s.defects_per_instance, "mean", same);
  j["defect_union_area_per_instance"] = spread_json(s.covered_area, "mean", same);
  j["defect_union_relative_per_instance"] = spread_json(s.covered_area, "mean", rel);
  j["bound_rules"] = {
      {"copies", s.bound_rules.copies < 0 ? json("unlimited") : json(s.bound_rules.copies)},
      {"rotation", s.bound_rules.rotation}};
  j["usable_area_per_instance"] = spread_json(s.usable_area, "mean", same);
  j["best_bound_per_instance"] = spread_json(s.best_bound, "mean", same);
  j["best_bound_total"] = s.best_bound_total;
  j["knapsack_exact_instances"] = s.knapsack_exact;
  j["knapsack_relaxation_instances"] = s.knapsack_relaxation;
  return j;
}

// Writes a document member by member as json's dump(2) writes the whole.
class json_writer : public stats_writer {
 public:
  json_writer(std::ostream& out, const run_info& run) : out_(out), head_(stats_head(run)) {}

  void row(const instance_stats& r) override {
    if (!rows_) {
      write_members(head_json(head_));
      out_ << ",\n  \"per_instance\": [\n    ";
      rows_ = true;
    } else {
      out_ << ",\n    ";
    }
    out_ << json_text(to_json(r, head_.object_area));
  }

  void summary(const run_stats& s) override {
    if (rows_) {
      out_ << "\n  ]";
    } else {
      write_members(head_json(s));
    }
    write_members(figures_json(s));
    out_ << "\n}\n";
  }

 private:
  void write_members(const json& members) {
    for (const auto& [key, value] : members.items()) {
      out_ << (started_ ? ",\n  " : "{\n  ") << json_text(json(key)) << ": ";
      const std::string text = json_text(value, 2);
      for (const char c : text) {
        out_ << c;
        if (c == '\n') out_ << "  ";
      }
      started_ = true;
    }
  }

  std::ostream& out_;
  run_stats head_;
  bool started_ = false;
  bool rows_ = false;
};

}  // namespace

std::unique_ptr<stats_writer> text_stats_writer(std::ostream& out, const run_info& run) {
  return std::make_unique<text_writer>(out, run);
}

std::unique_ptr<stats_writer> json_stats_writer(std::ostream& out, const run_info& run) {
  return std::make_unique<json_writer>(out, run);
}

json to_json(const run_stats& s) {
  json j = head_json(s);
  const json figures = figures_json(s);
  for (const auto& [key, value] : figures.items()) j[key] = value;
  return j;
}

json to_json(const instance_stats& r, int64_t object_area) {
  const bool any = r.items > 0;
  const auto rel = [&](int64_t v) { return number(relative(static_cast<double>(v), object_area)); };
  json area;
  area["min"] = any ? json(r.area_min) : json(nullptr);
  area["median"] = any ? json(r.area_median) : json(nullptr);
  area["max"] = any ? json(r.area_max) : json(nullptr);
  json j;
  j["instance"] = r.number;
  j["item_types"] = r.items;
  j["item_area"] = std::move(area);
  j["total_item_area"] = r.total_area;
  j["total_item_area_relative"] = rel(r.total_area);
  j["defects"] = r.defects;
  j["defect_union_area"] = r.covered_area;
  j["defect_union_relative"] = rel(r.covered_area);
  j["upper_bounds"] = to_json(r.bounds);
  return j;
}

json to_json(const instance_bounds& b) {
  json j;
  j["object_area"] = b.object_area;
  j["defect_area"] = b.defect_area;
  j["usable_area"] = b.usable_area;
  j["copies_that_fit"] = b.copies_that_fit;
  j["value_is_area"] = b.value_is_area;
  j["copies_value"] = b.copies_value;
  j["linear_relaxation"] = b.relaxation;
  j["knapsack"] = b.knapsack.value;
  j["knapsack_method"] = method_name(b.knapsack.method);
  j["knapsack_exact"] = b.knapsack.exact;
  j["knapsack_note"] = b.knapsack.note.empty() ? json(nullptr) : json(b.knapsack.note);
  j["best"] = b.best;
  j["best_is"] = b.best_name;
  return j;
}

}  // namespace sheetkit
