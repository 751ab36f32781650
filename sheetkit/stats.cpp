#include "stats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "coverage.h"
#include "text.h"

namespace sheetkit {

namespace {

// Finds the value of a given rank among keys that are replayed once per
// pass, in bounded memory. While the candidates fit in a buffer they are
// kept and the rank is picked from memory; beyond that a pass counts them by
// their next 16-bit digit, and the next pass looks only at the bucket
// holding the rank. A bucket whose smallest and largest key agree is
// settled at once (a run's many square items, all of ratio 1).
class rank_selector {
 public:
  // 2 MiB of keys: 262144 item types, 13 per instance of a 20000-instance
  // run, are read only once.
  static constexpr std::size_t max_kept = std::size_t{1} << 18;

  explicit rank_selector(int key_bits) : key_bits_(key_bits), shift_(key_bits - 16) {}

  void add(uint64_t key) {
    if (done_) return;
    if (known_bits_ > 0 && key >> (key_bits_ - known_bits_) != prefix_) return;
    ++seen_;
    if (keeping_) {
      if (kept_.size() < max_kept) {
        kept_.push_back(key);
        return;
      }
      // Only on the first pass, which finds out how many there are only now.
      keeping_ = false;
      buckets_.assign(digits, empty_bucket);
      for (const uint64_t k : kept_) count(k);
      std::vector<uint64_t>().swap(kept_);
    }
    count(key);
  }

  // Ends a pass. The first one fixes the rank: the lower median of all the
  // keys it saw.
  void end_pass() {
    if (done_) return;
    if (first_pass_) {
      first_pass_ = false;
      if (seen_ == 0) return finish(std::nullopt);
      rank_ = (seen_ - 1) / 2;
    } else if (seen_ != expected_) {
      throw sheetgen::error("The files changed while they were being read!");
    }
    if (keeping_) {
      std::nth_element(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(rank_),
                       kept_.end());
      return finish(kept_[rank_]);
    }
    std::size_t digit = 0;
    for (; rank_ >= buckets_[digit].count; ++digit) rank_ -= buckets_[digit].count;
    const bucket chosen = buckets_[digit];
    expected_ = chosen.count;
    prefix_ = prefix_ << 16 | digit;
    known_bits_ += 16;
    if (known_bits_ == key_bits_) return finish(prefix_);
    if (chosen.low == chosen.high) return finish(chosen.low);
    shift_ -= 16;
    seen_ = 0;
    keeping_ = expected_ <= max_kept;
    if (keeping_) {
      std::vector<bucket>().swap(buckets_);
      kept_.reserve(static_cast<std::size_t>(expected_));
    } else {
      std::fill(buckets_.begin(), buckets_.end(), empty_bucket);
    }
  }

  bool done() const { return done_; }
  std::optional<uint64_t> value() const { return value_; }

 private:
  static constexpr std::size_t digits = 1 << 16;
  // The keys counted under one digit, and the smallest and largest of them.
  struct bucket {
    uint64_t count;
    uint64_t low;
    uint64_t high;
  };
  static constexpr bucket empty_bucket{0, ~uint64_t{0}, 0};

  void count(uint64_t key) {
    bucket& b = buckets_[(key >> shift_) & 0xffff];
    ++b.count;
    b.low = std::min(b.low, key);
    b.high = std::max(b.high, key);
  }

  void finish(std::optional<uint64_t> value) {
    value_ = value;
    done_ = true;
    std::vector<uint64_t>().swap(kept_);
    std::vector<bucket>().swap(buckets_);
  }

  int key_bits_;
  int shift_;  // of the digit counted in this pass
  int known_bits_ = 0;
  uint64_t prefix_ = 0;    // the candidates' top known_bits_ bits
  uint64_t rank_ = 0;      // among the candidates
  uint64_t seen_ = 0;      // candidates in this pass
  uint64_t expected_ = 0;  // and how many the last pass promised
  bool first_pass_ = true;
  bool keeping_ = true;  // else counting
  bool done_ = false;
  std::optional<uint64_t> value_;
  std::vector<uint64_t> kept_;
  std::vector<bucket> buckets_;  // 1.5 MiB, while counting
};

// Order-preserving keys for the selector.
uint64_t area_key(int32_t area) { return static_cast<uint32_t>(area) ^ 0x80000000u; }
int64_t key_area(uint64_t key) { return static_cast<int64_t>(key) - int64_t{0x80000000}; }

uint64_t ratio_key(double ratio) {
  const auto bits = std::bit_cast<uint64_t>(ratio);
  return bits >> 63 ? ~bits : bits | uint64_t{1} << 63;
}
double key_ratio(uint64_t key) {
  return std::bit_cast<double>(key >> 63 ? key & ~(uint64_t{1} << 63) : ~key);
}

double ratio_of(const rectangle& item) {
  if (item.width != 0) return static_cast<double>(item.length) / item.width;
  // Not from sheetgen, but a file may say so; keep the order sensible.
  if (item.length == 0) return std::numeric_limits<double>::quiet_NaN();
  return item.length > 0 ? std::numeric_limits<double>::infinity()
                         : -std::numeric_limits<double>::infinity();
}

// A sum that cannot overflow whatever a run holds: 128-bit two's complement.
class wide_sum {
 public:
  void add(int64_t v) {
    const uint64_t before = low_;
    low_ += static_cast<uint64_t>(v);
    high_ += (v < 0 ? -1 : 0) + (low_ < before ? 1 : 0);
  }
  double value() const {
    return std::ldexp(static_cast<double>(high_), 64) + static_cast<double>(low_);
  }

 private:
  uint64_t low_ = 0;
  int64_t high_ = 0;
};

template <typename T>
void widen(spread<T, double>& s, T value) {
  if (s.count == 0 || value < s.min) s.min = value;
  if (s.count == 0 || value > s.max) s.max = value;
  ++s.count;
}

}  // namespace

run_stats compute_stats(const run_info& run, const instance_pass& pass, bool per_instance) {
  run_stats s;
  s.object = run.object;
  const int64_t length = run.object.length;
  const int64_t width = run.object.width;
  s.object_area = length * width;
  if (run.answers) {
    const auto& a = *run.answers;
    s.area_bounds = run_stats::bounds{a.minrelsize, a.maxrelsize, a.minarea, a.maxarea};
  }

  rank_selector area_median(32);
  rank_selector ratio_median(64);
  union_area_calculator union_area;
  std::vector<placed_defect> clipped;
  std::vector<int32_t> block_areas;
  wide_sum items_sum, total_area_sum, defects_sum, covered_sum;
  bool first_item = true;

  pass([&](const instance& in) {
    ++s.instances;
    instance_stats row;
    row.number = in.number;
    row.items = static_cast<int64_t>(in.items.size());
    block_areas.clear();
    for (const rectangle& item : in.items) {
      const double ratio = ratio_of(item);
      area_median.add(area_key(item.area));
      ratio_median.add(ratio_key(ratio));
      block_areas.push_back(item.area);
      row.total_area += item.area;
      if (first_item || item.area < s.item_area.min) s.item_area.min = item.area;
      if (first_item || item.area > s.item_area.max) s.item_area.max = item.area;
      if (first_item || ratio_key(ratio) < ratio_key(s.ratio.min)) s.ratio.min = ratio;
      if (first_item || ratio_key(ratio) > ratio_key(s.ratio.max)) s.ratio.max = ratio;
      first_item = false;
      if (item.length > length || item.width > width) ++s.items_not_fitting;
      if (s.area_bounds &&
          (item.area < s.area_bounds->minarea || item.area > s.area_bounds->maxarea)) {
        ++s.items_outside_bounds;
      }
    }
    s.items += row.items;

    clipped.clear();
    for (const placed_defect& d : in.defects) {
      clipped.push_back({std::max(d.x1, 0), std::max(d.y1, 0),
                         static_cast<int32_t>(std::min<int64_t>(d.x2, length)),
                         static_cast<int32_t>(std::min<int64_t>(d.y2, width))});
    }
    row.defects = static_cast<int64_t>(in.defects.size());
    row.covered_area = union_area(clipped);

    widen(s.items_per_instance, row.items);
    widen(s.total_area, row.total_area);
    widen(s.defects_per_instance, row.defects);
    widen(s.covered_area, row.covered_area);
    items_sum.add(row.items);
    total_area_sum.add(row.total_area);
    defects_sum.add(row.defects);
    covered_sum.add(row.covered_area);

    if (per_instance) {
      if (!block_areas.empty()) {
        const auto [lo, hi] = std::minmax_element(block_areas.begin(), block_areas.end());
        row.area_min = *lo;
        row.area_max = *hi;
        const auto middle =
            block_areas.begin() + static_cast<std::ptrdiff_t>((block_areas.size() - 1) / 2);
        std::nth_element(block_areas.begin(), middle, block_areas.end());
        row.area_median = *middle;
      }
      s.per_instance.push_back(row);
    }
  });
  s.passes = 1;
  area_median.end_pass();
  ratio_median.end_pass();
  while (!area_median.done() || !ratio_median.done()) {
    pass([&](const instance& in) {
      for (const rectangle& item : in.items) {
        area_median.add(area_key(item.area));
        ratio_median.add(ratio_key(ratio_of(item)));
      }
    });
    ++s.passes;
    area_median.end_pass();
    ratio_median.end_pass();
  }

  s.item_area.count = s.items;
  s.ratio.count = s.items;
  if (s.items > 0) {
    s.item_area.middle = key_area(*area_median.value());
    s.ratio.middle = key_ratio(*ratio_median.value());
  }
  if (s.instances > 0) {
    const auto n = static_cast<double>(s.instances);
    s.items_per_instance.middle = items_sum.value() / n;
    s.total_area.middle = total_area_sum.value() / n;
    s.defects_per_instance.middle = defects_sum.value() / n;
    s.covered_area.middle = covered_sum.value() / n;
  }
  return s;
}

namespace {

// Relative to the object, NaN for an object without area.
double relative(double value, int64_t object_area) {
  return object_area > 0 ? value / static_cast<double>(object_area)
                         : std::numeric_limits<double>::quiet_NaN();
}

// The float's shortest decimal as the double JSON holds: 0.1f shows as
// 0.1, not 0.10000000149011612.
double shortest(float f) {
  const std::string text = shortest_text(f);
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
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

}  // namespace

void write_text(std::ostream& out, const run_stats& s) {
  const int64_t area = s.object_area;
  out << "object " << s.object.length << " x " << s.object.width << " (area " << area << "), "
      << s.instances << (s.instances == 1 ? " instance, " : " instances, ") << s.items
      << (s.items == 1 ? " item type\n" : " item types\n");
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
  out << '\n';
  out << "item types longer or wider than the object: " << s.items_not_fitting << '\n';
  if (s.area_bounds)
    out << "item types with area outside the bounds: " << s.items_outside_bounds << '\n';
  out << "median: the lower of the two middle values when their number is even\n";

  if (s.per_instance.empty()) return;
  out << "\ninstance  item types    area min      median    area max  total area   defects    "
         "coverage\n";
  for (const instance_stats& r : s.per_instance) {
    const bool any = r.items > 0;
    std::array<char, 200> line{};
    std::snprintf(line.data(), line.size(), "%8lld  %10lld  %10s  %10s  %10s  %10s  %8lld  %10s\n",
                  static_cast<long long>(r.number), static_cast<long long>(r.items),
                  any ? integer(r.area_min).c_str() : "-",
                  any ? integer(r.area_median).c_str() : "-",
                  any ? integer(r.area_max).c_str() : "-",
                  percent(relative(static_cast<double>(r.total_area), area)).c_str(),
                  static_cast<long long>(r.defects),
                  percent(relative(static_cast<double>(r.covered_area), area)).c_str());
    out << line.data();
  }
}

namespace {

using json = nlohmann::json;

json number(double v) { return std::isnan(v) ? json(nullptr) : json(v); }

template <typename T, typename M, typename F>
json spread_json(const spread<T, M>& s, const char* middle, F value) {
  if (s.count == 0) return {{"min", nullptr}, {middle, nullptr}, {"max", nullptr}};
  return {{"min", value(s.min)}, {middle, value(s.middle)}, {"max", value(s.max)}};
}

}  // namespace

json to_json(const run_stats& s) {
  const int64_t area = s.object_area;
  const auto same = [](auto v) { return json(v); };
  const auto rel = [&](auto v) { return number(relative(static_cast<double>(v), area)); };
  json j;
  j["object"] = {{"length", s.object.length}, {"width", s.object.width}, {"area", area}};
  if (s.area_bounds) {
    j["bounds"] = {{"minrelsize", shortest(s.area_bounds->minrelsize)},
                   {"maxrelsize", shortest(s.area_bounds->maxrelsize)},
                   {"minarea", s.area_bounds->minarea},
                   {"maxarea", s.area_bounds->maxarea}};
  } else {
    j["bounds"] = nullptr;
  }
  j["instances"] = s.instances;
  j["item_types"] = s.items;
  j["median"] = "lower";
  j["item_area"] = spread_json(s.item_area, "median", same);
  j["item_area_relative"] = spread_json(s.item_area, "median", rel);
  j["length_width_ratio"] = spread_json(s.ratio, "median", [](double v) { return number(v); });
  j["item_types_not_fitting"] = s.items_not_fitting;
  j["item_types_outside_bounds"] = s.area_bounds ? json(s.items_outside_bounds) : json(nullptr);
  j["item_types_per_instance"] = spread_json(s.items_per_instance, "mean", same);
  j["total_item_area"] = spread_json(s.total_area, "mean", same);
  j["total_item_area_relative"] = spread_json(s.total_area, "mean", rel);
  j["defects_per_instance"] = spread_json(s.defects_per_instance, "mean", same);
  j["covered_area"] = spread_json(s.covered_area, "mean", same);
  j["defect_coverage"] = spread_json(s.covered_area, "mean", rel);
  if (!s.per_instance.empty()) {
    json rows = json::array();
    for (const instance_stats& r : s.per_instance) {
      const bool any = r.items > 0;
      rows.push_back({{"number", r.number},
                      {"item_types", r.items},
                      {"item_area",
                       {{"min", any ? json(r.area_min) : json(nullptr)},
                        {"median", any ? json(r.area_median) : json(nullptr)},
                        {"max", any ? json(r.area_max) : json(nullptr)}}},
                      {"total_item_area", r.total_area},
                      {"total_item_area_relative", rel(r.total_area)},
                      {"defects", r.defects},
                      {"covered_area", r.covered_area},
                      {"defect_coverage", rel(r.covered_area)}});
    }
    j["per_instance"] = std::move(rows);
  }
  return j;
}

}  // namespace sheetkit
