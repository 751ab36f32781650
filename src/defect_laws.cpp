// The defect laws that lay defects on a family's instances, each from the
// instance's own defect stream.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "family_parts.h"
#include "family_streams.h"
#include "rounding.h"

namespace sheetgen {

const parameter_info sizes_parameters[1] = {
    {"sizes", parameter_kind::sizes, 1, MAXDEF, nullptr,
     "the defects' sizes, LENGTHxWIDTH separated by commas"},
};

const parameter_info separate_parameters[4] = {
    {"count", parameter_kind::integer, 0, MAXDEF, nullptr, "defects per instance"},
    {"low", parameter_kind::fraction, 0, 0, "0.1", "a side's least fraction of the object's"},
    {"high", parameter_kind::fraction, 0, 0, "0.167", "a side's largest fraction of the object's"},
    {"tries", parameter_kind::integer, 1, 1000000, "1000", "draws of one defect before giving up"},
};

const parameter_info points_parameters[3] = {
    {"low", parameter_kind::integer, 0, MAXDEF, "1", "the least number of defects"},
    {"high", parameter_kind::integer, 0, MAXDEF, "8", "the largest number of defects"},
    {"side", parameter_kind::integer, 1, 46340, "8", "a defect's longest side"},
};

namespace {

// Given sizes at uniform positions, two draws each, x first, rounded as
// the dialogue rounds them; they may overlap.
class sizes_law final : public defect_law {
 public:
  explicit sizes_law(std::vector<rectangle> sizes) : sizes_(std::move(sizes)) {}

  void draw(rectangle object, int32_t stream, std::vector<placed_defect>& out) const override {
    out.clear();
    minimal_stream g(stream);
    for (const rectangle& d : sizes_) {
      const auto x = static_cast<int32_t>(
          round_half_away(g.draw() * static_cast<double>(object.length - d.length)));
      const auto y = static_cast<int32_t>(
          round_half_away(g.draw() * static_cast<double>(object.width - d.width)));
      out.push_back({x, y, x + d.length, y + d.width});
    }
  }

 private:
  std::vector<rectangle> sizes_;
};

// A side from a fraction range of the object's side `s`: from the least
// whole side not below low x s (at least 1) to the largest not above
// high x s, in exact integer arithmetic.
struct whole_sides {
  int32_t low, high;
};

whole_sides sides_of(int64_t low_millionths, int64_t high_millionths, int32_t s) {
  const int64_t low = std::max<int64_t>(1, (low_millionths * s + 999999) / 1000000);
  const int64_t high = high_millionths * s / 1000000;
  return {static_cast<int32_t>(low), static_cast<int32_t>(high)};
}

bool overlap(const placed_defect& a, const placed_defect& b) {
  return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

// k defects that do not overlap one another, by rejection: each try draws
// length, width, x and y; a defect that overlaps one before it is drawn
// again, at most `tries` times.
class separate_law final : public defect_law {
 public:
  separate_law(int32_t count, whole_sides length, whole_sides width, int32_t tries)
      : count_(count), length_(length), width_(width), tries_(tries) {}

  void draw(rectangle object, int32_t stream, std::vector<placed_defect>& out) const override {
    out.clear();
    minimal_stream g(stream);
    for (int32_t k = 0; k < count_; ++k) {
      bool placed = false;
      for (int32_t t = 0; t < tries_ && !placed; ++t) {
        const int32_t l = g.between(length_.low, length_.high);
        const int32_t w = g.between(width_.low, width_.high);
        const int32_t x = g.between(0, object.length - l);
        const int32_t y = g.between(0, object.width - w);
        const placed_defect d{x, y, x + l, y + w};
        placed = std::none_of(out.begin(), out.end(),
                              [&](const placed_defect& e) { return overlap(d, e); });
        if (placed) out.push_back(d);
      }
      if (!placed) {
        throw error("defect " + std::to_string(k + 1) + " does not fit beside the " +
                    std::to_string(k) + " before it in " + std::to_string(tries_) +
                    " tries: ask for fewer or smaller defects, or more tries");
      }
    }
  }

 private:
  int32_t count_;
  whole_sides length_, width_;
  int32_t tries_;
};

// A number of small defects uniform in [low, high], sides uniform in
// [1, side] (at most the object's), positions uniform; they may overlap.
class points_law final : public defect_law {
 public:
  points_law(int32_t low, int32_t high, int32_t side) : low_(low), high_(high), side_(side) {}

  void draw(rectangle object, int32_t stream, std::vector<placed_defect>& out) const override {
    out.clear();
    minimal_stream g(stream);
    const int32_t count = g.between(low_, high_);
    const int32_t longest = std::min(side_, object.length);
    const int32_t widest = std::min(side_, object.width);
    for (int32_t k = 0; k < count; ++k) {
      const int32_t l = g.between(1, longest);
      const int32_t w = g.between(1, widest);
      const int32_t x = g.between(0, object.length - l);
      const int32_t y = g.between(0, object.width - w);
      out.push_back({x, y, x + l, y + w});
    }
  }

 private:
  int32_t low_, high_, side_;
};

}  // namespace

std::unique_ptr<defect_law> make_sizes(std::span<const parameter> c, rectangle object) {
  std::vector<rectangle> sizes = parse_sizes(c[0].second);
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    if (sizes[k].length > object.length || sizes[k].width > object.width) {
      throw family_error("sizes: defect " + std::to_string(k + 1) + " (" +
                         std::to_string(sizes[k].length) + "x" + std::to_string(sizes[k].width) +
                         ") does not fit on the object " + std::to_string(object.length) + "x" +
                         std::to_string(object.width));
    }
  }
  return std::make_unique<sizes_law>(std::move(sizes));
}

std::unique_ptr<defect_law> make_separate(std::span<const parameter> c, rectangle object) {
  const int64_t low = millionths_at(c, 1);
  const int64_t high = millionths_at(c, 2);
  if (low > high) {
    throw family_error("separate: low " + c[1].second + " is above high " + c[2].second);
  }
  const whole_sides length = sides_of(low, high, object.length);
  const whole_sides width = sides_of(low, high, object.width);
  for (const auto& [sides, name, s] :
       {std::tuple{length, "length", object.length}, std::tuple{width, "width", object.width}}) {
    if (sides.low > sides.high) {
      throw family_error("separate: low " + c[1].second + " and high " + c[2].second +
                         " leave no whole side between them on the object's " + name + " " +
                         std::to_string(s));
    }
  }
  return std::make_unique<separate_law>(static_cast<int32_t>(integer_at(c, 0)), length, width,
                                        static_cast<int32_t>(integer_at(c, 3)));
}

std::unique_ptr<defect_law> make_points(std::span<const parameter> c, rectangle) {
  const int64_t low = integer_at(c, 0);
  const int64_t high = integer_at(c, 1);
  if (low > high)
    throw family_error("points: low " + c[0].second + " is above high " + c[1].second);
  return std::make_unique<points_law>(static_cast<int32_t>(low), static_cast<int32_t>(high),
                                      static_cast<int32_t>(integer_at(c, 2)));
}

}  // namespace sheetgen
