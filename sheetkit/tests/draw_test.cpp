#include "draw.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

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

std::string read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

double attribute(const std::string& element, const std::string& name) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(element, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) << element;
  return std::stod(m[1]);
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

// Regenerate with SHEETKIT_UPDATE_GOLDEN=1 after a deliberate change, and look at it.
TEST_F(DrawTest, WorkedExampleMatchesGoldenPicture) {
  const auto all = worked_instances();
  const auto written = draw(worked_run(), replay(all), {1, 1}, dir);
  EXPECT_EQ(written, (std::vector<fs::path>{dir / "instance_1.svg", dir / "defects.svg",
                                            dir / "items.svg"}));
  const fs::path golden =
      fs::path(__FILE__).parent_path() / "data" / "draw_worked_example_instance_1.svg";
  if (std::getenv("SHEETKIT_UPDATE_GOLDEN"))
    fs::copy_file(written[0], golden, fs::copy_options::overwrite_existing);
  EXPECT_EQ(read(written[0]), read(golden));
}

TEST_F(DrawTest, RefusesUnknownInstancesBeforeWritingAnything) {
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
          EXPECT_EQ(e.what(), "Cannot create folder " + (dir / "file" / "pictures").string() + "!");
          throw;
        }
      },
      sheetgen::error);
  fs::create_directories(dir / "items.svg");  // a folder where the file should go
  try {
    draw(worked_run(), replay(all), {2}, dir);
    ADD_FAILURE();
  } catch (const sheetgen::error& e) {
    EXPECT_EQ(e.what(), "Cannot write file " + (dir / "items.svg").string() + "!");
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
  const std::string one = read(dir / "instance_60.svg");
  std::smatch object;
  ASSERT_TRUE(std::regex_search(one, object, std::regex("<rect class=\"o\"[^>]*>")));
  EXPECT_EQ(attribute(object.str(), "width"), 800);
  EXPECT_GE(attribute(object.str(), "height"), 100);
  EXPECT_NE(read(dir / "defects.svg").find("cells"), std::string::npos);
}

// In a crowd of 300 defects each number sits inside its own defect and no two
// numbers overlap.
TEST_F(DrawTest, DefectNumbersStayInsideTheirDefectsAndApart) {
  run_info run;
  run.object = {960000, 1200, 800};
  const auto all = big_instances(1200, 800, 1, 0, 300);
  draw(run, replay(all), {1}, dir);
  const std::string svg = read(dir / "instance_1.svg");
  std::vector<std::string> defects;
  const std::regex rect("<rect class=\"d\"[^>]*>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rect); it != std::sregex_iterator();
       ++it)
    defects.push_back(it->str());
  ASSERT_EQ(defects.size(), 300u);
  struct box {
    double x0, y0, x1, y1;
  };
  std::vector<box> labels;
  const std::regex number("<text class=\"n\"[^>]*>(\\d+)</text>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), number); it != std::sregex_iterator();
       ++it) {
    const std::string t = it->str(), digits = (*it)[1];
    const double size = attribute(t, "font-size"),
                 half = 0.3 * size * static_cast<double>(digits.size());
    const box l{attribute(t, "x") - half, attribute(t, "y") - 0.72 * size, attribute(t, "x") + half,
                attribute(t, "y")};
    const std::string& d = defects.at(std::stoul(digits) - 1);
    EXPECT_GE(l.x0, attribute(d, "x")) << t;
    EXPECT_LE(l.x1, attribute(d, "x") + attribute(d, "width")) << t;
    EXPECT_GE(l.y0, attribute(d, "y")) << t;
    EXPECT_LE(l.y1, attribute(d, "y") + attribute(d, "height")) << t;
    for (const box& o : labels)
      EXPECT_FALSE(l.x0 < o.x1 && o.x0 < l.x1 && l.y0 < o.y1 && o.y0 < l.y1) << t;
    labels.push_back(l);
  }
  EXPECT_GT(labels.size(), 30u);
  EXPECT_NE(svg.find("Numbers are shown on " + std::to_string(labels.size()) + " of 300 defects"),
            std::string::npos);
}

// Defects over x in [0, 37) and y in [10, 40) of a 100 x 40 object: one cell
// per unit, 8 px each; exactly the cells whose centres they cover are shaded.
TEST_F(DrawTest, DensityGridShadesExactlyTheCoveredCells) {
  run_info run;
  run.object = {4000, 100, 40};
  std::vector<instance> all(41);
  for (int i = 0; i < 41; ++i) {
    all[static_cast<std::size_t>(i)].number = i + 1;
    all[static_cast<std::size_t>(i)].defects.assign(100, {0, 10, 37, 40});
  }
  draw(run, replay(all), {}, dir);
  const std::string svg = read(dir / "defects.svg");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(svg, m, std::regex("<rect class=\"o\"[^>]*>")));
  const double left = attribute(m.str(), "x"), top = attribute(m.str(), "y");
  const std::regex cell("<rect class=\"q(\\d+)\"[^>]*>");
  double lowest = top;
  int rows = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), cell); it != std::sregex_iterator();
       ++it) {
    const std::string r = it->str();
    if (attribute(r, "width") == 12) continue;  // the legend's swatches
    ++rows;
    EXPECT_EQ((*it)[1], "15");
    EXPECT_EQ(attribute(r, "x"), left);
    EXPECT_EQ(attribute(r, "width"), 37 * 8);
    lowest = std::max(lowest, attribute(r, "y") + attribute(r, "height"));
  }
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(lowest, top + 30 * 8);
}

TEST_F(DrawTest, EveryPictureIsWellFormedXml) {
  if (std::system("xmllint --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xmllint is not installed";
  run_info odd = worked_run();
  odd.instance_file = "a&b<c>\"d'\xff\x01.txt";
  const auto worked = worked_instances();
  auto files = draw(odd, replay(worked), {1, 2}, dir / "odd");
  EXPECT_NE(read(files[0]).find("a&amp;b&lt;c&gt;&quot;d&apos;\xEF\xBF\xBD\xEF\xBF\xBD.txt"),
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
