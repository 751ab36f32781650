// The item laws of the literature's classic families.
#include <array>
#include <cstdint>
#include <memory>

#include "family_parts.h"
#include "family_streams.h"

namespace sheetgen {

const parameter_info binpacking_parameters[3] = {
    {"class", parameter_kind::integer, 1, 10, nullptr, "the class, 1 to 10 (I to X)"},
    {"items", parameter_kind::integer, 1, MAXMOD, nullptr, "item types per instance"},
    {"first", parameter_kind::integer, 1, 1000000, "1",
     "the published number of the run's first instance (1 to 10 are the published ones)"},
};

const parameter_info knapsack_parameters[5] = {
    {"type", parameter_kind::integer, 1, 3, nullptr, "the type, 1 to 3 (I to III)"},
    {"items", parameter_kind::integer, 1, MAXMOD, nullptr, "item types per instance"},
    {"length", parameter_kind::integer, 2, 46340, "100", "the object's length"},
    {"width", parameter_kind::integer, 2, 46340, "100", "the object's width"},
    {"copies", parameter_kind::integer, 1, 1000000, "1", "copies of every item type"},
};

const parameter_info gcut_parameters[4] = {
    {"items", parameter_kind::integer, 1, MAXMOD, nullptr, "item types per instance"},
    {"length", parameter_kind::integer, 2, 46340, "250", "the object's length"},
    {"width", parameter_kind::integer, 2, 46340, "250", "the object's width"},
    {"copies", parameter_kind::copies, 1, 1000000, "unlimited", "copies of every item type"},
};

namespace {

void resize(family_instance& out, std::size_t n) {
  out.items.resize(n);
  out.values.resize(n);
  out.copies.resize(n);
}

// Berkey and Wang's classes I to VI and Martello and Vigo's VII to X: one
// generator started at 0 for every instance, warmed up by a number of
// draws that depends on the instance's size and number.
class binpacking final : public family {
 public:
  binpacking(int32_t cls, int32_t items, int32_t first)
      : class_(cls), items_(items), first_(first) {}

  rectangle object() const override {
    constexpr std::array<int32_t, 10> sides = {10, 30, 40, 100, 100, 300, 100, 100, 100, 100};
    const int32_t b = sides[class_ - 1];
    return rectangle::of(b, b);
  }

  void make_items(int32_t number, int32_t, family_instance& out) const override {
    resize(out, static_cast<std::size_t>(items_));
    const int64_t j = int64_t{first_} + number - 1;
    // n j is an integer, then times the double 31.47, plus 2000, truncated:
    // in single precision a dozen published instances come out different.
    const double warm = static_cast<double>(int64_t{items_} * j) * 31.47 + 2000.0;
    classic_stream g;
    g.skip(static_cast<int64_t>(warm) + 1);
    if (class_ <= 6) {
      constexpr std::array<int32_t, 6> largest = {10, 10, 35, 35, 100, 100};
      const double m = largest[class_ - 1];
      for (int32_t k = 0; k < items_; ++k) {
        const auto h = static_cast<int32_t>(m * g.draw()) + 1;
        const auto w = static_cast<int32_t>(m * g.draw()) + 1;
        put(out, k, w, h);
      }
      return;
    }
    // The probabilities of wide, high and large items, compared as doubles.
    constexpr std::array<std::array<double, 3>, 4> p = {
        {{0.7, 0.1, 0.1}, {0.1, 0.7, 0.1}, {0.1, 0.1, 0.7}, {0.1, 0.1, 0.1}}};
    const std::array<double, 3>& q = p[class_ - 7];
    for (int32_t k = 0; k < items_; ++k) {
      const double x = g.draw();
      int32_t wmin = 1, wmax = 50, hmin = 1, hmax = 50;
      if (x < q[0]) {
        wmin = 66, wmax = 100;
      } else if (x < q[0] + q[1]) {
        hmin = 66, hmax = 100;
      } else if (x < q[0] + q[1] + q[2]) {
        wmin = hmin = 50, wmax = hmax = 100;
      }
      const int32_t h = static_cast<int32_t>((hmax - hmin + 1) * g.draw()) + hmin;
      const int32_t w = static_cast<int32_t>((wmax - wmin + 1) * g.draw()) + wmin;
      put(out, k, w, h);
    }
  }

 private:
  // An item's length is w, its width h: the export's WIDTH is then w, as
  // PackingSolver's conversion of these sets writes it.
  static void put(family_instance& out, int32_t k, int32_t w, int32_t h) {
    out.items[k] = rectangle::of(w, h);
    out.values[k] = out.items[k].area;
    out.copies[k] = 1;
  }

  int32_t class_;
  int32_t items_;
  int32_t first_;
};

// Sides of one kind of item type: [low, high] along each direction.
struct side_ranges {
  int32_t length_low, length_high, width_low, width_high;
};

// Fekete and Schepers' knapsack types: small, large, long and wide item
// types in proportions given by the type, value area x 1, 2 or 3.
class knapsack final : public family {
 public:
  knapsack(int32_t type, int32_t items, int32_t length, int32_t width, int32_t copies)
      : items_(items), copies_(copies), object_(rectangle::of(length, width)) {
    // Rounded inwards: 100 gives 2-50, 51-100 and 76-100.
    const auto low_small = [](int32_t s) { return (s + 49) / 50; };
    const auto half = [](int32_t s) { return s / 2; };
    const auto long_low = [](int32_t s) { return 3 * s / 4 + 1; };
    const int32_t l = length, w = width;
    kinds_ = {{{low_small(l), half(l), low_small(w), half(w)},
               {half(l) + 1, l, half(w) + 1, w},
               {long_low(l), l, low_small(w), half(w)},
               {low_small(l), half(l), long_low(w), w}}};
    // Cumulative shares of small, large and long; wide takes the rest.
    constexpr std::array<std::array<double, 3>, 3> shares = {
        {{0.4, 0.6, 0.8}, {0.55, 0.7, 0.85}, {0.7, 0.8, 0.9}}};
    shares_ = shares[type - 1];
  }

  rectangle object() const override { return object_; }

  void make_items(int32_t number, int32_t seed, family_instance& out) const override {
    resize(out, static_cast<std::size_t>(items_));
    minimal_stream g(stream_start(seed, number, 0));
    for (int32_t k = 0; k < items_; ++k) {
      const double x = g.draw();
      const side_ranges& r = kinds_[x < shares_[0]   ? 0
                                    : x < shares_[1] ? 1
                                    : x < shares_[2] ? 2
                                                     : 3];
      const int32_t length = g.between(r.length_low, r.length_high);
      const int32_t width = g.between(r.width_low, r.width_high);
      out.items[k] = rectangle::of(length, width);
      out.values[k] = int64_t{out.items[k].area} * g.between(1, 3);
      out.copies[k] = copies_;
    }
  }

 private:
  int32_t items_;
  int32_t copies_;
  rectangle object_;
  std::array<side_ranges, 4> kinds_{};
  std::array<double, 3> shares_{};
};

// Beasley's gcut: sides uniform in [L/4, 3L/4] x [W/4, 3W/4], rounded
// inwards, value = area.
class gcut final : public family {
 public:
  gcut(int32_t items, int32_t length, int32_t width, int64_t copies)
      : items_(items),
        copies_(copies),
        object_(rectangle::of(length, width)),
        sides_{(length + 3) / 4, 3 * length / 4, (width + 3) / 4, 3 * width / 4} {}

  rectangle object() const override { return object_; }

  void make_items(int32_t number, int32_t seed, family_instance& out) const override {
    resize(out, static_cast<std::size_t>(items_));
    minimal_stream g(stream_start(seed, number, 0));
    for (int32_t k = 0; k < items_; ++k) {
      const int32_t length = g.between(sides_.length_low, sides_.length_high);
      const int32_t width = g.between(sides_.width_low, sides_.width_high);
      out.items[k] = rectangle::of(length, width);
      out.values[k] = out.items[k].area;
      out.copies[k] = copies_;
    }
  }

 private:
  int32_t items_;
  int64_t copies_;
  rectangle object_;
  side_ranges sides_;
};

int32_t int_at(std::span<const parameter> checked, std::size_t k) {
  return static_cast<int32_t>(integer_at(checked, k));
}

}  // namespace

std::unique_ptr<family> make_binpacking(std::span<const parameter> c) {
  return std::make_unique<binpacking>(int_at(c, 0), int_at(c, 1), int_at(c, 2));
}

std::unique_ptr<family> make_knapsack(std::span<const parameter> c) {
  return std::make_unique<knapsack>(int_at(c, 0), int_at(c, 1), int_at(c, 2), int_at(c, 3),
                                    int_at(c, 4));
}

std::unique_ptr<family> make_gcut(std::span<const parameter> c) {
  return std::make_unique<gcut>(int_at(c, 0), int_at(c, 1), int_at(c, 2), copies_at(c, 3));
}

}  // namespace sheetgen
