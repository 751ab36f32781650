#include <gtest/gtest.h>
#include <sheetgen/families.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "random.h"

namespace sheetgen {
namespace {

family_settings settings_of(std::string name, std::vector<parameter> p, std::string law = "",
                            std::vector<parameter> dp = {}) {
  family_settings s;
  s.family = std::move(name);
  s.parameters = std::move(p);
  s.defects = std::move(law);
  s.defect_parameters = std::move(dp);
  return s;
}

family_instance made(const family_run& run, int32_t number) {
  family_instance out;
  run.make(number, out);
  return out;
}

// (h, w) as the published files list them: our width, then our length.
std::vector<std::pair<int32_t, int32_t>> published_pairs(int cls, int n, int j) {
  family_run run(settings_of("binpacking", {{"class", std::to_string(cls)},
                                            {"items", std::to_string(n)},
                                            {"first", std::to_string(j)}}));
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const rectangle& r : made(run, 1).items) out.emplace_back(r.width, r.length);
  return out;
}

TEST(BinPacking, PublishedCheckValues) {
  using p = std::pair<int32_t, int32_t>;
  const auto i = published_pairs(1, 20, 1);
  ASSERT_EQ(i.size(), 20u);
  EXPECT_EQ(std::vector<p>(i.begin(), i.begin() + 4),
            (std::vector<p>{{9, 5}, {2, 4}, {6, 10}, {7, 5}}));
  EXPECT_EQ(i.back(), p(7, 8));
  const auto vii = published_pairs(7, 20, 1);
  EXPECT_EQ(std::vector<p>(vii.begin(), vii.begin() + 4),
            (std::vector<p>{{75, 56}, {27, 98}, {24, 74}, {34, 99}}));
  EXPECT_EQ(vii.back(), p(42, 10));
  const auto x = published_pairs(10, 100, 10);
  EXPECT_EQ(x[0], p(44, 12));
  EXPECT_EQ(x[1], p(54, 96));
  EXPECT_EQ(x.back(), p(78, 23));
  const auto v = published_pairs(5, 40, 3);
  EXPECT_EQ(v[0], p(69, 14));
  EXPECT_EQ(v[1], p(13, 74));
  EXPECT_EQ(v.back(), p(75, 78));
}

// Every published instance, held to the law worked out independently.
TEST(BinPacking, AllFiveHundredPublishedInstances) {
  std::ifstream in(SHEETGEN_SOURCE_DIR "/tests/data/binpacking_published.txt");
  ASSERT_TRUE(in);
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int cls = 0, n = 0, j = 0;
    std::string hash;
    fields >> cls >> n >> j >> hash;
    // All ten published numbers at once: instance k of a run is number
    // first + k - 1.
    family_run run(
        settings_of("binpacking", {{"class", std::to_string(cls)}, {"items", std::to_string(n)}}));
    family_settings s = run.settings();
    s.instances = 10;
    const family_instance in_run = made(family_run(s), j);
    uint64_t h = 0xcbf29ce484222325u;
    for (const rectangle& r : in_run.items) {
      for (const int32_t side : {r.length, r.width}) {
        h ^= static_cast<uint64_t>(side);
        h *= 0x100000001b3u;
      }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    EXPECT_EQ(text, hash) << "class " << cls << ", " << n << " items, instance " << j;
    ++checked;
  }
  EXPECT_EQ(checked, 500);
}

TEST(BinPacking, ObjectValuesCopiesAndLaterNumbers) {
  const int sides[] = {10, 30, 40, 100, 100, 300, 100, 100, 100, 100};
  for (int cls = 1; cls <= 10; ++cls) {
    family_run run(settings_of(
        "binpacking", {{"class", std::to_string(cls)}, {"items", "500"}, {"first", "11"}}));
    EXPECT_EQ(run.object(), rectangle::of(sides[cls - 1], sides[cls - 1]));
    const family_instance in = made(run, 1);
    const int32_t largest = cls <= 2 ? 10 : cls <= 4 ? 35 : 100;
    for (std::size_t k = 0; k < in.items.size(); ++k) {
      EXPECT_GE(std::min(in.items[k].length, in.items[k].width), 1);
      EXPECT_LE(std::max(in.items[k].length, in.items[k].width), largest);
      EXPECT_EQ(in.values[k], in.items[k].area);
      EXPECT_EQ(in.copies[k], 1);
    }
  }
}

// The knapsack law drawn again with the dialogue's own generator, step by
// step as documented: the fast stream must give the same numbers.
TEST(Knapsack, FollowsTheDocumentedDrawOrder) {
  for (int type = 1; type <= 3; ++type) {
    family_settings s = settings_of("knapsack", {{"type", std::to_string(type)},
                                                 {"items", "3000"},
                                                 {"length", "100"},
                                                 {"width", "60"},
                                                 {"copies", "4"}});
    s.seed = 12345;
    s.instances = 3;
    const family_run run(s);
    const family_instance in = made(run, 2);
    random_generator g(stream_start(12345, 2, 0));
    const auto between = [&](int32_t lo, int32_t hi) {
      return lo + static_cast<int32_t>(g.uniform_random() * (hi - lo + 1));
    };
    const double shares[3][3] = {{0.4, 0.6, 0.8}, {0.55, 0.7, 0.85}, {0.7, 0.8, 0.9}};
    int small = 0;
    for (std::size_t k = 0; k < in.items.size(); ++k) {
      const double x = g.uniform_random();
      const double* q = shares[type - 1];
      int32_t l = 0, w = 0;
      if (x < q[0]) {
        l = between(2, 50), w = between(2, 30), ++small;
      } else if (x < q[1]) {
        l = between(51, 100), w = between(31, 60);
      } else if (x < q[2]) {
        l = between(76, 100), w = between(2, 30);
      } else {
        l = between(2, 50), w = between(46, 60);
      }
      ASSERT_EQ(in.items[k], rectangle::of(l, w)) << "type " << type << ", item " << k;
      EXPECT_EQ(in.values[k], int64_t{l} * w * between(1, 3));
      EXPECT_EQ(in.copies[k], 4);
    }
    EXPECT_NEAR(small / 3000.0, shares[type - 1][0], 0.04);
  }
}

TEST(Gcut, SidesValuesAndCopies) {
  family_run run(settings_of("gcut", {{"items", "2000"}, {"length", "250"}, {"width", "7"}}));
  const family_instance in = made(run, 1);
  int32_t lo_l = 1000, hi_l = 0, lo_w = 1000, hi_w = 0;
  for (std::size_t k = 0; k < in.items.size(); ++k) {
    lo_l = std::min(lo_l, in.items[k].length), hi_l = std::max(hi_l, in.items[k].length);
    lo_w = std::min(lo_w, in.items[k].width), hi_w = std::max(hi_w, in.items[k].width);
    EXPECT_EQ(in.values[k], in.items[k].area);
    EXPECT_EQ(in.copies[k], unlimited_copies);
  }
  // [63, 187] and [2, 5]: rounded inwards, every end reached.
  EXPECT_EQ(std::vector<int32_t>({lo_l, hi_l, lo_w, hi_w}), std::vector<int32_t>({63, 187, 2, 5}));
  family_run limited(settings_of("gcut", {{"items", "5"}, {"copies", "2"}}));
  EXPECT_EQ(made(limited, 1).copies, std::vector<int64_t>(5, 2));
}

bool overlap(const placed_defect& a, const placed_defect& b) {
  return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

TEST(DefectLaws, NeverChangeTheItemsAndNest) {
  const std::vector<parameter> items = {{"type", "2"}, {"items", "50"}};
  family_settings bare = settings_of("knapsack", items);
  bare.instances = 4;
  family_settings five = settings_of("knapsack", items, "separate", {{"count", "5"}});
  five.instances = 4;
  family_settings three = five;
  three.defect_parameters = {{"count", "3"}};
  family_settings layered = five;
  layered.layer = 2;
  const family_run r0(bare), r5(five), r3(three), r2(layered);
  // Made out of order: each instance is its own.
  for (const int32_t n : {4, 1, 3, 2}) {
    const family_instance a = made(r0, n), b = made(r5, n), c = made(r3, n), d = made(r2, n);
    EXPECT_EQ(a.items, b.items);
    EXPECT_EQ(a.values, c.values);
    EXPECT_TRUE(a.defects.empty());
    ASSERT_EQ(b.defects.size(), 5u);
    EXPECT_EQ(c.defects, std::vector<placed_defect>(b.defects.begin(), b.defects.begin() + 3));
    EXPECT_EQ(d.defects, std::vector<placed_defect>(b.defects.begin(), b.defects.begin() + 2));
  }
  EXPECT_NE(made(r5, 1).defects, made(r5, 2).defects);
}

TEST(DefectLaws, SeparateDefectsStayApartWithinTheirSides) {
  family_settings s = settings_of("gcut", {{"items", "3"}, {"length", "300"}, {"width", "120"}},
                                  "separate", {{"count", "12"}, {"low", "0.1"}, {"high", "0.2"}});
  s.instances = 50;
  s.seed = 99;
  const family_run run(s);
  for (int32_t n = 1; n <= 50; ++n) {
    const family_instance in = made(run, n);
    ASSERT_EQ(in.defects.size(), 12u);
    for (std::size_t k = 0; k < in.defects.size(); ++k) {
      const placed_defect& d = in.defects[k];
      EXPECT_TRUE(d.x1 >= 0 && d.y1 >= 0 && d.x2 <= 300 && d.y2 <= 120);
      EXPECT_TRUE(d.x2 - d.x1 >= 30 && d.x2 - d.x1 <= 60) << d.x2 - d.x1;
      EXPECT_TRUE(d.y2 - d.y1 >= 12 && d.y2 - d.y1 <= 24) << d.y2 - d.y1;
      for (std::size_t j = 0; j < k; ++j) EXPECT_FALSE(overlap(d, in.defects[j]));
    }
  }
  // Half the object's side each way: a second never fits beside the first.
  family_settings full =
      settings_of("gcut", {{"items", "3"}}, "separate",
                  {{"count", "2"}, {"low", "0.6"}, {"high", "0.7"}, {"tries", "50"}});
  full.instances = 2;
  try {
    made(family_run(full), 2);
    FAIL() << "two defects over half the object fitted";
  } catch (const family_error&) {
    FAIL() << "a failure to place is no usage error";
  } catch (const error& e) {
    EXPECT_STREQ(e.what(),
                 "instance 2: defect 2 does not fit beside the 1 before it in 50 tries: "
                 "ask for fewer or smaller defects, or more tries");
  }
}

TEST(DefectLaws, PointsAndSizes) {
  family_settings s = settings_of("knapsack", {{"type", "1"}, {"items", "2"}, {"length", "5"}},
                                  "points", {{"low", "2"}, {"high", "4"}, {"side", "8"}});
  s.instances = 200;
  const family_run run(s);
  std::vector<int> counts(5);
  for (int32_t n = 1; n <= 200; ++n) {
    const family_instance in = made(run, n);
    ++counts.at(in.defects.size());
    for (const placed_defect& d : in.defects) {
      EXPECT_TRUE(d.x1 >= 0 && d.x2 <= 5 && d.x2 > d.x1);  // sides held to the object's
      EXPECT_TRUE(d.y1 >= 0 && d.y2 <= 100 && d.y2 - d.y1 <= 8 && d.y2 > d.y1);
    }
  }
  EXPECT_EQ(counts[0] + counts[1], 0);
  EXPECT_GT(std::min({counts[2], counts[3], counts[4]}), 40);
  const family_run sized(settings_of("gcut", {{"items", "1"}}, "sizes", {{"sizes", "250x1,3x4"}}));
  const family_instance in = made(sized, 1);
  ASSERT_EQ(in.defects.size(), 2u);
  EXPECT_EQ(in.defects[0].x1, 0);
  EXPECT_EQ(in.defects[0].x2, 250);
  EXPECT_EQ(in.defects[1].x2 - in.defects[1].x1, 3);
  EXPECT_EQ(in.defects[1].y2 - in.defects[1].y1, 4);
}

std::string refusal(const family_settings& s) {
  try {
    family_run run(s);
  } catch (const family_error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(FamilySettings, BadInputIsNamed) {
  EXPECT_EQ(refusal(settings_of("binpaking", {})),
            "unknown family \"binpaking\"; did you mean binpacking? (families: binpacking, "
            "knapsack, gcut, perfect)");
  EXPECT_EQ(refusal(settings_of("binpacking", {{"class", "1"}, {"itmes", "3"}})),
            "binpacking has no parameter \"itmes\"; did you mean items? (its parameters: class, "
            "items, first)");
  EXPECT_EQ(refusal(settings_of("binpacking", {{"class", "11"}, {"items", "3"}})),
            "binpacking: class 11 is out of range: it takes an integer from 1 to 10");
  EXPECT_EQ(refusal(settings_of("binpacking", {{"class", "1"}})),
            "binpacking needs items: item types per instance, an integer from 1 to 20000");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}, {"items", "2"}})),
            "gcut: items is given twice");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "01"}})),
            "gcut: items takes an integer from 1 to 20000, not \"01\"");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}, {"copies", "many"}})),
            "gcut: copies takes an integer from 1 to 1000000, or unlimited, not \"many\"");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}}, "seperate", {})),
            "unknown defect law \"seperate\"; did you mean separate? (defect laws: sizes, "
            "separate, points)");
  EXPECT_EQ(
      refusal(settings_of("gcut", {{"items", "1"}}, "separate", {{"count", "1"}, {"low", ".1"}})),
      "separate: low takes a decimal above 0 and at most 1, such as 0.167 (at most 6 "
      "places), not \".1\"");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}}, "separate",
                                {{"count", "1"}, {"low", "0.3"}, {"high", "0.2"}})),
            "separate: low 0.3 is above high 0.2");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}, {"width", "4"}}, "separate",
                                {{"count", "1"}, {"low", "0.3"}, {"high", "0.4"}})),
            "separate: low 0.3 and high 0.4 leave no whole side between them on the object's "
            "width 4");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}}, "sizes", {{"sizes", "2x3,251x1"}})),
            "sizes: defect 2 (251x1) does not fit on the object 250x250");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}}, "sizes", {{"sizes", "2x3,"}})),
            "sizes: expected LENGTHxWIDTH (positive, area within 2147483647) separated by "
            "commas, not \"\"");
  EXPECT_EQ(refusal(settings_of("gcut", {{"items", "1"}}, "", {{"count", "1"}})),
            "defect parameter \"count\" given without a defect law (sizes, separate or points)");
  family_settings layered = settings_of("gcut", {{"items", "1"}});
  layered.layer = 1;
  EXPECT_EQ(refusal(layered), "layer 1 takes the first defects of a defect law: give one");
  layered.instances = 0;
  EXPECT_EQ(refusal(layered), "instances 0 is out of range: 1 to 20000");
}

TEST(FamilySettings, CompletedInTheDocumentedOrder) {
  const family_run run(settings_of("knapsack", {{"copies", "3"}, {"items", "7"}, {"type", "3"}},
                                   "separate", {{"count", "2"}}));
  EXPECT_EQ(
      run.settings().parameters,
      (std::vector<parameter>{
          {"type", "3"}, {"items", "7"}, {"length", "100"}, {"width", "100"}, {"copies", "3"}}));
  EXPECT_EQ(run.settings().defect_parameters,
            (std::vector<parameter>{
                {"count", "2"}, {"low", "0.1"}, {"high", "0.167"}, {"tries", "1000"}}));
}

}  // namespace
}  // namespace sheetgen
