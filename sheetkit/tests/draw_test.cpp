#include "pictures/draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

#include "bytes_of.h"
#include "pictures/defect_overlay.h"
#include "pictures/instance_picture.h"
#include "pictures/item_charts.h"
#include "pictures/svg.h"
#include "worked_example.h"

namespace sheetkit {
namespace {

using testing::worked_instances;
using testing::worked_run;

namespace fs = std::filesystem;

// A long thin object with more defects than are drawn one by one.
std::vector<instance> big_instances(int32_t length, int32_t width, int n, int items, int defects) {
  std::vector<instance> all;
  uint32_t state = 12345;
  auto next = [&](int32_t below) {
    return static_cast<int32_t>((state = state * 1103515245u + 12345u) >> 8) % std::max(below, 1);
  };
  for (int i = 1; i <= n; ++i) {
    instance in;
    in.number = i;
    for (int k = 0; k < items; ++k) {
      const int32_t l = 1 + next(length / 10), w = 1 + next(width);
      in.items.push_back({l * w, l, w});
    }
    for (int k = 0; k < defects; ++k) {
      const int32_t l = 1 + next(length / 20), w = 1 + next(width / 4);
      const int32_t x = next(length - l + 1), y = next(width - w + 1);
      in.defects.push_back({x, y, x + l, y + w});
    }
    all.push_back(std::move(in));
  }
  return all;
}

instance_pass replay(const std::vector<instance>& all, int* passes = nullptr) {
  return [&all, passes](const std::function<void(const instance&)>& visit) {
    if (passes) ++*passes;
    for (const auto& in : all) visit(in);
  };
}

using testing::bytes_of;

// The part of the drawing that a picture shows.
svg::box view_box(const std::string& svg) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(
      svg, m, std::regex("viewBox=\"([-0-9.]+) ([-0-9.]+) ([0-9.]+) ([0-9.]+)\"")));
  return {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
}

double attribute(const std::string& element, const std::string& name) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(element, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) << element;
  return std::stod(m[1]);
}

// Elements `<tag class="CLASS" ...>` in order; `cls` is a regular expression.
std::vector<std::string> elements(const std::string& svg, const std::string& tag,
                                  const std::string& cls) {
  std::vector<std::string> found;
  const std::regex element("<" + tag + " class=\"" + cls + "\"[^>]*>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
       it != std::sregex_iterator(); ++it)
    found.push_back(it->str());
  return found;
}

// A text element and the box it takes: 0.62 of the font size per character
// (wider than sans-serif fonts draw digits and most letters), from 0.8 of
// the size above the baseline to 0.25 below; turned text on its side.
struct label {
  std::string cls, text;
  double size = 0;
  svg::box area;
};

std::vector<label> labels(const std::string& svg) {
  std::map<std::string, std::string> rules;
  const std::regex rule("\\.([a-z0-9-]+)\\{([^}]*)\\}");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rule); it != std::sregex_iterator();
       ++it)
    rules[(*it)[1]] = (*it)[2];
  std::vector<label> found;
  const std::regex text("<text class=\"([^\"]*)\"([^>]*)>([^<]*)</text>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator();
       ++it) {
    label l;
    std::istringstream classes((*it)[1].str());
    classes >> l.cls;
    l.text = (*it)[3];
    const std::string attributes = (*it)[2];
    std::string anchor = "start";
    for (std::string c; classes >> c;) anchor = c;
    if (rules[l.cls].find("text-anchor:middle") != std::string::npos) anchor = "middle";
    std::smatch size;
    if (std::regex_search(attributes, size, std::regex("font-size=\"([0-9.]+)\"")) ||
        std::regex_search(rules[l.cls], size, std::regex("font-size:([0-9.]+)px")))
      l.size = std::stod(size[1]);
    EXPECT_GT(l.size, 0) << it->str();
    const std::string body = std::regex_replace(l.text, std::regex("&[a-z]+;"), "&");
    const double length =
        0.62 * l.size * static_cast<double>(std::count_if(body.begin(), body.end(), [](char c) {
          return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    const double before = anchor == "middle" ? length / 2 : anchor == "end" ? length : 0;
    const double x = attribute(attributes, "x"), y = attribute(attributes, "y");
    if (attributes.find("rotate(-90") == std::string::npos)
      l.area = {x - before, y - 0.8 * l.size, length, 1.05 * l.size};
    else  // reads upwards from its anchor, glyphs left of it
      l.area = {x - 0.8 * l.size, y - length + before, 1.05 * l.size, length};
    found.push_back(l);
  }
  return found;
}

void expect_apart(const std::vector<label>& all) {
  for (std::size_t i = 0; i < all.size(); ++i)
    for (std::size_t k = 0; k < i; ++k)
      EXPECT_FALSE(all[i].area.overlaps(all[k].area)) << all[i].text << " / " << all[k].text;
}

// The caption's lines joined into one text: where a line breaks depends on
// the estimated widths of the words.
std::string caption(const std::string& svg) {
  std::string text;
  for (const label& l : labels(svg))
    if (l.cls == "caption") text += (text.empty() ? "" : " ") + l.text;
  return text;
}

class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) /
          (std::string("draw_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

// README shows the golden picture and replays the command that draws it.
// Regenerate with SHEETKIT_UPDATE_GOLDEN=1 after a deliberate change, and look at it.
TEST_F(DrawTest, WorkedExampleMatchesGoldenPicture) {
  const auto all = worked_instances();
  const auto written = draw(worked_run(), replay(all), {1, 1}, dir);
  EXPECT_EQ(written, (std::vector<fs::path>{dir / "instance_1.svg", dir / "defects.svg",
                                            dir / "items.svg"}));
  const fs::path golden = fs::path(SHEETGEN_SOURCE_DIR) / "docs" / "worked_example_instance_1.svg";
  if (std::getenv("SHEETKIT_UPDATE_GOLDEN"))
    fs::copy_file(written[0], golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(bytes_of(written[0]), bytes_of(golden));
}

TEST_F(DrawTest, RefusesWhatItCannotDrawBeforeWritingAnything) {
  const auto all = worked_instances();
  for (const int64_t n : {0, 3}) {
    try {
      draw(worked_run(), replay(all), {2, n}, dir);
      ADD_FAILURE() << n;
    } catch (const sheetgen::error& e) {
      EXPECT_EQ(e.what(),
                "Instance " + std::to_string(n) + " is not in the run: it has 2 instances!");
    }
    EXPECT_FALSE(fs::exists(dir));
  }
  // An object without area, whether drawn as a run or picture by picture.
  run_info flat = worked_run();
  flat.object = {0, 0, 10};
  const run_summary sum;
  const std::string message = "Cannot draw an object of 0 \xC3\x97 10!";
  auto expect_refused = [&](const std::function<void()>& make) {
    try {
      make();
      ADD_FAILURE();
    } catch (const sheetgen::error& e) {
      EXPECT_EQ(e.what(), message);
    }
  };
  expect_refused([&] { draw(flat, replay(all), {1}, dir); });
  expect_refused([&] { render_instance(flat, all[0], 2, {}); });
  expect_refused([&] { const defect_overlay overlay(flat, sum); });
  expect_refused([&] { const item_charts charts(flat, sum); });
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(DrawTest, ReportsWhatItCannotWrite) {
  const auto all = worked_instances();
  fs::create_directories(dir);
  std::ofstream(dir / "file") << "x";
  EXPECT_THROW(
      {
        try {
          draw(worked_run(), replay(all), {}, dir / "file" / "pictures");
        } catch (const sheetgen::error& e) {
          EXPECT_EQ(e.what(),
                    (dir / "file" / "pictures").string() + ": cannot be created: Not a directory");
          throw;
        }
      },
      sheetgen::error);
  fs::create_directories(dir / "items.svg");  // a folder where the file should go
  try {
    draw(worked_run(), replay(all), {2}, dir);
    ADD_FAILURE();
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(e.what(), (dir / "items.svg").string() + ": cannot be written: Is a directory");
  }
}

// 60 instances x 100 defects: more than are drawn one by one, on a long thin
// object; the files stay small and the object visible.
TEST_F(DrawTest, BigRunStaysSmallAndVisible) {
  run_info run;
  run.object = {1000000, 20000, 50};
  run.instance_file = "big.txt";
  run.defect_file = "big_defects.txt";
  const auto all = big_instances(20000, 50, 60, 400, 100);
  int passes = 0;
  const auto written = draw(run, replay(all, &passes), {60}, dir);
  EXPECT_EQ(passes, 2);
  for (const auto& f : written) EXPECT_LT(fs::file_size(f), 1u << 20) << f;
  const std::string one = bytes_of(dir / "instance_60.svg");
  std::smatch object;
  ASSERT_TRUE(std::regex_search(one, object, std::regex("<rect class=\"object\"[^>]*>")));
  EXPECT_EQ(attribute(object.str(), "width"), 800);
  EXPECT_GE(attribute(object.str(), "height"), 100);
  EXPECT_NE(bytes_of(dir / "defects.svg").find("cells"), std::string::npos);
}

// In a crowd of 300 defects each number sits inside its own defect and no two
// numbers overlap; the caption says how many carry one.
TEST_F(DrawTest, DefectNumbersStayInsideTheirDefectsAndApart) {
  run_info run;
  run.object = {960000, 1200, 800};
  run.defect_file = "defects.txt";
  const auto all = big_instances(1200, 800, 1, 0, 300);
  draw(run, replay(all), {1}, dir);
  const std::string svg = bytes_of(dir / "instance_1.svg");
  const auto defects = elements(svg, "rect", "defect");
  ASSERT_EQ(defects.size(), 300u);
  std::vector<label> numbers;
  for (const label& l : labels(svg)) {
    if (l.cls != "defect-number") continue;
    const std::string& d = defects.at(std::stoul(l.text) - 1);
    EXPECT_GE(l.area.x, attribute(d, "x")) << l.text;
    EXPECT_LE(l.area.x + l.area.w, attribute(d, "x") + attribute(d, "width")) << l.text;
    EXPECT_GE(l.area.y, attribute(d, "y") - 0.1 * l.size) << l.text;  // the number has no descent
    EXPECT_LE(l.area.y + l.area.h, attribute(d, "y") + attribute(d, "height") + 0.25 * l.size)
        << l.text;
    numbers.push_back(l);
  }
  EXPECT_GT(numbers.size(), 30u);
  // The others are listed, each with its size and corner, so that a printed
  // picture identifies every defect; nothing runs into anything else.
  std::vector<std::string> listed(300);
  for (const label& l : labels(svg))
    if (l.cls == "legend") listed.at(std::stoul(l.text) - 1) = l.text;
  for (const label& l : numbers) EXPECT_EQ(listed.at(std::stoul(l.text) - 1), "") << l.text;
  for (std::size_t k = 0; k < 300; ++k) {
    const placed_defect& d = all[0].defects[k];
    if (!listed[k].empty()) {
      EXPECT_EQ(listed[k], std::to_string(k + 1) + ": " + std::to_string(d.x2 - d.x1) +
                               " \xC3\x97 " + std::to_string(d.y2 - d.y1) + " at (" +
                               std::to_string(d.x1) + ", " + std::to_string(d.y1) + ")");
    }
  }
  EXPECT_EQ(std::count(listed.begin(), listed.end(), ""), static_cast<long>(numbers.size()));
  expect_apart(labels(svg));
  EXPECT_NE(
      caption(svg).find(std::to_string(numbers.size()) + " of the 300 defects carry their number"),
      std::string::npos);

  // Defects too small for any number: the caption must not claim they are numbered.
  run.object = {6000 * 3210, 6000, 3210};
  std::vector<instance> specks(1);
  specks[0].number = 1;
  specks[0].defects = {{10, 10, 12, 12}, {3000, 1600, 3002, 1602}};
  draw(run, replay(specks), {1}, dir);
  const std::string none = bytes_of(dir / "instance_1.svg");
  EXPECT_EQ(caption(none).find("are numbered"), std::string::npos);
  EXPECT_NE(caption(none).find("2 defects; none is numbered"), std::string::npos);
}

// 2 x 2 defects on a 6000 x 3210 object are a quarter of a pixel: each is
// drawn 4 pixels wide about its centre, with its true extent outlined.
TEST_F(DrawTest, SmallDefectsStayVisibleAndTrue) {
  run_info run;
  run.object = {6000 * 3210, 6000, 3210};
  run.defect_file = "defects.txt";
  std::vector<instance> all(2);
  for (int i = 0; i < 2; ++i) {
    all[static_cast<std::size_t>(i)].number = i + 1;
    all[static_cast<std::size_t>(i)].defects = {{0, 0, 2, 2}, {2999, 1604, 3001, 1606}};
  }
  draw(run, replay(all), {1}, dir);
  for (const char* file : {"instance_1.svg", "defects.svg"}) {
    const std::string svg = bytes_of(dir / file);
    const auto marks = elements(svg, "rect", "defect"),
               extents = elements(svg, "rect", "defect-extent");
    ASSERT_EQ(marks.size(), file == std::string("defects.svg") ? 4u : 2u) << file;
    ASSERT_EQ(extents.size(), marks.size()) << file;
    for (std::size_t k = 0; k < marks.size(); ++k) {
      const std::string &m = marks[k], &e = extents[k];
      EXPECT_EQ(attribute(m, "width"), 4) << file;
      EXPECT_EQ(attribute(m, "height"), 4) << file;
      EXPECT_NEAR(attribute(e, "width"), 2 * 800.0 / 6000, 0.01) << file;
      EXPECT_NEAR(attribute(e, "height"), 2 * 800.0 / 6000, 0.01) << file;
      EXPECT_NEAR(attribute(m, "x") + 2, attribute(e, "x") + attribute(e, "width") / 2, 0.01);
      EXPECT_NEAR(attribute(m, "y") + 2, attribute(e, "y") + attribute(e, "height") / 2, 0.01);
    }
    EXPECT_NE(
        caption(svg).find("drawn 4 pixels across, centred where they lie, with their true extent"),
        std::string::npos)
        << file;
  }
}

// Twenty 1000 x 30 defects on a 6000 x 1500 object are each 4 pixels
// high: all drawn alike, none outlined as smaller than drawn, wherever it lies.
TEST_F(DrawTest, DefectsOfOneSizeAreDrawnAlike) {
  run_info run;
  run.object = {6000 * 1500, 6000, 1500};
  run.defect_file = "defects.txt";
  std::vector<instance> all(1);
  all[0].number = 1;
  for (int32_t k = 0; k < 20; ++k)
    all[0].defects.push_back({(k % 5) * 1000, k * 70, (k % 5) * 1000 + 1000, k * 70 + 30});
  draw(run, replay(all), {1}, dir);
  for (const char* file : {"instance_1.svg", "defects.svg"}) {
    const std::string svg = bytes_of(dir / file);
    const auto marks = elements(svg, "rect", "defect");
    ASSERT_EQ(marks.size(), 20u) << file;
    for (const std::string& m : marks) {
      EXPECT_EQ(attribute(m, "width"), attribute(marks[0], "width")) << m;
      EXPECT_EQ(attribute(m, "height"), 4) << m;
    }
    EXPECT_EQ(elements(svg, "rect", "defect-extent").size(), 0u) << file;
  }
}

// Defects over x in [0, 37) and y in [10, 40) of a 100 x 40 object: one cell
// per unit, 8 px each; exactly the covered cells are shaded, all alike.
TEST_F(DrawTest, DensityGridShadesExactlyTheCoveredCells) {
  run_info run;
  run.object = {4000, 100, 40};
  std::vector<instance> all(41);
  for (int i = 0; i < 41; ++i) {
    all[static_cast<std::size_t>(i)].number = i + 1;
    all[static_cast<std::size_t>(i)].defects.assign(1000, {0, 10, 37, 40});
  }
  draw(run, replay(all), {}, dir);
  const std::string svg = bytes_of(dir / "defects.svg");
  const std::string object = elements(svg, "rect", "object").at(0);
  const double left = attribute(object, "x"), top = attribute(object, "y");
  const std::regex cell("<rect class=\"shade-(\\d+)\"[^>]*>");
  double lowest = top;
  int rows = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), cell); it != std::sregex_iterator();
       ++it) {
    const std::string r = it->str();
    if (attribute(r, "y") > top + 320) continue;  // the legend's swatches
    ++rows;
    EXPECT_EQ((*it)[1], "15");
    EXPECT_EQ(attribute(r, "x"), left);
    EXPECT_EQ(attribute(r, "width"), 37 * 8);
    lowest = std::max(lowest, attribute(r, "y") + attribute(r, "height"));
  }
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(lowest, top + 30 * 8);
  // 1000 defects on each covered cell: a share of 1000 times its area.
  EXPECT_NE(caption(svg).find("darkest 100000%."), std::string::npos);
}

// 5 x 5 defects in the corner of every cell of about 12 x 12 units, away
// from its centre: every cell shows its share, by its own area.
TEST_F(DrawTest, DensityGridShowsTheCoveredAreaOfEveryCell) {
  run_info run;
  run.object = {1600 * 800, 1600, 800};
  const int64_t nx = 133, ny = 67;  // 800 x 400 px in 6 px cells
  std::vector<instance> all(1);
  all[0].number = 1;
  for (int64_t j = 0; j < ny; ++j)
    for (int64_t i = 0; i < nx; ++i) {
      const auto x = static_cast<int32_t>(i * 1600 / nx), y = static_cast<int32_t>(j * 800 / ny);
      all[0].defects.push_back({x, y, x + 5, y + 5});
    }
  draw(run, replay(all), {}, dir);
  const std::string svg = bytes_of(dir / "defects.svg");
  const std::string object = elements(svg, "rect", "object").at(0);
  double shaded = 0;
  for (const std::string& r : elements(svg, "rect", "shade-\\d+"))
    if (attribute(r, "y") < attribute(object, "y") + attribute(object, "height"))
      shaded += attribute(r, "width") * attribute(r, "height");
  EXPECT_EQ(shaded, 800 * 400);
  // Cells are 12 or 13 units long and 11 or 12 wide: 25 / (12 x 11) at most.
  const std::string text = caption(svg);
  EXPECT_NE(
      text.find("133 \xC3\x97 67 cells of 12 \xC3\x97 11 units (some a unit longer or wider)"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("averaged over the 1 instance "), std::string::npos);
  EXPECT_NE(text.find("darkest 18.9%."), std::string::npos);
}

// A thin object's sides and the counts of the cells under them: no label
// runs into another, in any picture.
TEST_F(DrawTest, LabelsDoNotOverlap) {
  run_info thin;
  thin.object = {30000, 10000, 3};
  thin.defect_file = "defects.txt";
  std::vector<instance> thin_run(2);  // item types of every shape up to 16 x 3
  for (int k = 0; k < 2; ++k) {
    thin_run[static_cast<std::size_t>(k)].number = k + 1;
    for (int32_t l = 1; l <= 16; ++l)
      for (int32_t w = 1; w <= 3; ++w)
        for (int32_t n = (l + w) % 4; n >= 0; --n)
          thin_run[static_cast<std::size_t>(k)].items.push_back({l * w, l, w});
    thin_run[static_cast<std::size_t>(k)].defects = {{100, 0, 600, 2}, {9000, 1, 9990, 3}};
  }
  draw(thin, replay(thin_run), {1}, dir / "thin");
  const auto worked = worked_instances();
  draw(worked_run(), replay(worked), {1, 2}, dir / "worked");
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string svg = bytes_of(entry.path());
    SCOPED_TRACE(entry.path().string());
    expect_apart(labels(svg));
    EXPECT_EQ(svg.find("square"), std::string::npos);
  }
  // the case that ran into a count
  EXPECT_NE(bytes_of(dir / "thin" / "items.svg").find(">object width 3</text>"), std::string::npos);
}

// Bare pictures, for a paper's own caption: no title, subtitle or caption,
// and nothing cut off, in any picture, bare or not, with a legend or not.
TEST_F(DrawTest, BarePicturesKeepAllButTheirWords) {
  run_info crowded;
  crowded.object = {960000, 1200, 800};
  crowded.defect_file = "defects.txt";
  const auto many = big_instances(1200, 800, 1, 40, 300);
  std::vector<instance> few = many;  // a legend beside the object
  few[0].defects.resize(30);
  run_info thin = crowded;
  thin.object = {20000 * 10, 20000, 10};
  const auto thin_run = big_instances(20000, 10, 10, 30, 500);
  const auto worked = worked_instances();
  for (const bool bare : {false, true}) {
    const fs::path to = dir / (bare ? "bare" : "full");
    draw(crowded, replay(many), {1}, to / "many", bare);
    draw(crowded, replay(few), {1}, to / "few", bare);
    draw(thin, replay(thin_run), {1}, to / "thin", bare);
    draw(worked_run(), replay(worked), {1}, to / "worked", bare);
  }
  int pictures = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string svg = bytes_of(entry.path());
    SCOPED_TRACE(entry.path().string());
    const svg::box frame = view_box(svg);
    const bool bare = entry.path().string().find("/bare/") != std::string::npos;
    for (const label& l : labels(svg)) {
      EXPECT_TRUE(l.area.x >= frame.x && l.area.x + l.area.w <= frame.x + frame.w &&
                  l.area.y >= frame.y && l.area.y + l.area.h <= frame.y + frame.h)
          << l.text;
      if (bare) {
        EXPECT_TRUE(l.cls != "title" && l.cls != "subtitle" && l.cls != "caption") << l.text;
      }
    }
    EXPECT_EQ(bare, frame.y > 0);
    ++pictures;
  }
  EXPECT_EQ(pictures, 24);
  // A bare picture is the object alone: no list of defects either.
  EXPECT_GT(elements(bytes_of(dir / "full" / "few" / "instance_1.svg"), "text", "legend").size(),
            0u);
  EXPECT_EQ(elements(bytes_of(dir / "bare" / "few" / "instance_1.svg"), "text", "legend").size(),
            0u);
  // A list of 500 would dwarf the thin object: the caption says where the
  // defects stand instead.
  const std::string thin_svg = bytes_of(dir / "full" / "thin" / "instance_1.svg");
  EXPECT_EQ(elements(thin_svg, "text", "legend").size(), 0u);
  EXPECT_NE(caption(thin_svg).find("are in defects.txt, in the same order"), std::string::npos)
      << caption(thin_svg);
  EXPECT_LE(view_box(thin_svg).h, 400);
  // A list that is shown spreads across up to 1100 px, each column as wide
  // as its own entries, not down a tall picture.
  const auto listed = big_instances(20000, 10, 1, 30, 60);
  draw(thin, replay(listed), {1}, dir / "listed");
  const std::string listed_svg = bytes_of(dir / "listed" / "instance_1.svg");
  std::map<double, std::size_t> per_column;
  for (const label& l : labels(listed_svg)) per_column[l.area.x] += l.cls == "legend" ? 1 : 0;
  std::erase_if(per_column, [](const auto& column) { return column.second == 0; });
  EXPECT_LE(view_box(listed_svg).w, 1100);
  EXPECT_GE(per_column.size(), 3u);
}

// Items up to 1800 long and 3300 wide: cells of as many lengths as widths,
// square on the picture.
TEST_F(DrawTest, LengthByWidthCellsAreSquare) {
  run_info run;
  run.object = {2000 * 4000, 2000, 4000};
  std::vector<instance> all(1);
  all[0].number = 1;
  for (int32_t l = 1; l <= 1800; l += 37)
    for (int32_t w = 3300; w >= 1; w -= 71) all[0].items.push_back({l * w, l, w});
  draw(run, replay(all), {}, dir);
  const std::string svg = bytes_of(dir / "items.svg");
  int cells = 0;
  for (const std::string& r : elements(svg, "rect", "shade-\\d+")) {
    EXPECT_NEAR(attribute(r, "width"), attribute(r, "height"), 0.011) << r;
    ++cells;
  }
  EXPECT_GT(cells, 100);
  EXPECT_NE(caption(svg).find("Each cell groups 40 lengths by 40 widths"), std::string::npos);
}

// A run of one instance is not called "all 1 instances".
TEST_F(DrawTest, TitlesOfOneInstance) {
  std::vector<instance> one = worked_instances();
  one.resize(1);
  draw(worked_run(), replay(one), {1}, dir / "one");
  EXPECT_NE(bytes_of(dir / "one" / "items.svg").find(">Item types of the one instance "),
            std::string::npos);
  EXPECT_NE(bytes_of(dir / "one" / "defects.svg").find(">Defects of the one instance<"),
            std::string::npos);
  draw(worked_run(), replay(worked_instances()), {1}, dir / "two");
  EXPECT_NE(bytes_of(dir / "two" / "items.svg").find(">Item types of all 2 instances "),
            std::string::npos);
}

// Inlined in one HTML page, two pictures keep their own styles.
TEST_F(DrawTest, InlinePicturesAreScopedByTheirIds) {
  const auto all = worked_instances();
  const run_info run = worked_run();
  for (int k = 0; k < 2; ++k) {
    const std::string id = "run-" + std::to_string(k + 1);
    const std::string svg = render_instance(run, all[static_cast<std::size_t>(k)], 2, {id, false});
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" + id + "\"", 0), 0u);
    std::smatch style;
    ASSERT_TRUE(std::regex_search(svg, style, std::regex("<style>([^<]*)</style>")));
    const std::string rules = style[1];
    std::size_t count = 0;
    for (std::size_t at = 0; at < rules.size(); at = rules.find('}', at) + 1, ++count)
      EXPECT_EQ(rules.compare(at, id.size() + 3, "#" + id + " ."), 0) << rules.substr(at);
    EXPECT_GT(count, 10u);
  }
  for (const char* bad : {"", "1a", "a b", "a\"b"})
    EXPECT_THROW(render_instance(run, all[0], 2, {bad, true}), sheetgen::error) << bad;
}

TEST_F(DrawTest, EveryPictureIsWellFormedXml) {
  if (std::system("xmllint --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xmllint is not installed";
  run_info odd = worked_run();
  odd.instance_file = "a&b<c>\"d'\xff\x01.txt";
  const auto worked = worked_instances();
  auto files = draw(odd, replay(worked), {1, 2}, dir / "odd");
  EXPECT_NE(bytes_of(files[0]).find("a&amp;b&lt;c&gt;&quot;d&apos;\xEF\xBF\xBD\xEF\xBF\xBD.txt"),
            std::string::npos);
  run_info thin;
  thin.object = {20000, 10000, 2};
  const auto big = big_instances(10000, 2, 50, 200, 100);
  for (const auto& f : draw(thin, replay(big), {1}, dir / "big")) files.push_back(f);
  for (const auto& f : files)
    EXPECT_EQ(std::system(("xmllint --noout '" + f.string() + "'").c_str()), 0) << f;
}

}  // namespace
}  // namespace sheetkit
