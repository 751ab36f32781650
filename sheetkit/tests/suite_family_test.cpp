// Suites whose classes name a family, each class written as nested defect
// layers: made, verified, exported, solved by certificates written here,
// and tabulated with the profits the families' values give.
#include <gtest/gtest.h>
#include <sheetgen/families.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bytes_of.h"
#include "run_sheetkit.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::bytes_of;
using testing::sheetkit;

// A bin packing class, a knapsack type and a gcut-like class, each as
// nested separate defects, beside a class of the dialogue's answers.
constexpr const char* suite_json = R"({"suite": "families",
 "seeds": {"first": 1, "count": 2},
 "classes": [
  {"name": "bp", "family": "binpacking", "parameters": {"class": 4, "items": 20},
   "instances": 3, "defects": {"law": "separate", "count": 3, "low": 0.1, "high": "0.167"},
   "layers": [0, 1, 3]},
  {"name": "ks", "family": "knapsack", "parameters": {"type": 2, "items": 10, "copies": 3},
   "instances": 2, "defects": {"law": "separate", "count": 2}, "layers": [0, 2]},
  {"name": "gc", "family": "gcut", "parameters": {"items": 6, "copies": 2}, "instances": 2,
   "defects": {"law": "separate", "count": 2}, "layers": [1, 2], "seeds": [3]},
  {"name": "worked", "length": 10, "width": 10, "instances": 2, "item_types": 4,
   "lower": "0.1", "upper": "0.2", "defects": [[3, 2]], "seeds": [2]}]}
)";

// The sets the suite gives, as CLASS/sSEED.
const std::vector<std::string> family_sets = {"bp.d0/s1", "bp.d0/s2", "bp.d1/s1", "bp.d1/s2",
                                              "bp.d3/s1", "bp.d3/s2", "ks.d0/s1", "ks.d0/s2",
                                              "ks.d2/s1", "ks.d2/s2", "gc.d1/s3", "gc.d2/s3"};

// The lines of a file.
std::vector<std::string> lines_of(const fs::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(bytes_of(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SuiteFamilies : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(file()) << suite_json;
    const testing::cli_result made =
        sheetkit({"suite", "make", file().string(), "-o", dir().string(), "-j", "2"});
    ASSERT_EQ(made.status, 0) << made.err;
  }
  fs::path file() const { return folder_ / "suite.json"; }
  fs::path dir() const { return folder_ / "suite"; }
  fs::path out() const { return folder_ / "out"; }

  sheetgen::testing::scratch_folder folder_;
};

TEST_F(SuiteFamilies, LayersShareTheirItemsAndTheManifestNamesEachLaw) {
  for (const std::string& set : family_sets) {
    for (const char* f : {"recipe.txt", "instances.txt", "defects.txt", "values.txt", ".done"})
      EXPECT_TRUE(fs::is_regular_file(dir() / set / f)) << set << "/" << f;
  }
  // One item set per seed, laid with 0, 1 and 3 defects: the first k of one draw.
  EXPECT_EQ(bytes_of(dir() / "bp.d0/s1/instances.txt"), bytes_of(dir() / "bp.d3/s1/instances.txt"));
  EXPECT_EQ(bytes_of(dir() / "bp.d0/s1/values.txt"), bytes_of(dir() / "bp.d3/s1/values.txt"));
  // The published bin packing law has no seed: the seed draws the defects.
  EXPECT_EQ(bytes_of(dir() / "bp.d0/s1/instances.txt"), bytes_of(dir() / "bp.d0/s2/instances.txt"));
  EXPECT_NE(bytes_of(dir() / "bp.d1/s1/defects.txt"), bytes_of(dir() / "bp.d1/s2/defects.txt"));
  EXPECT_NE(bytes_of(dir() / "ks.d0/s1/instances.txt"), bytes_of(dir() / "ks.d0/s2/instances.txt"));
  const std::vector<std::string> one = lines_of(dir() / "bp.d1/s1/defects.txt");
  const std::vector<std::string> three = lines_of(dir() / "bp.d3/s1/defects.txt");
  ASSERT_EQ(one.size(), 3u * 2);  // the defects and an empty line per instance
  ASSERT_EQ(three.size(), 3u * 4);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(one[2 * k], three[4 * k]) << k;
    EXPECT_NE(one[2 * k], "") << k;
  }
  EXPECT_EQ(lines_of(dir() / "bp.d0/s1/defects.txt"), (std::vector<std::string>{"", "", ""}));

  // A set is what sheetkit generate writes from its recipe.
  const testing::cli_result again =
      sheetkit({"verify", "--recipe", (dir() / "ks.d2/s2/recipe.txt").string()});
  EXPECT_EQ(again.status, 0) << again.out << again.err;

  const std::vector<std::string> manifest = lines_of(dir() / "manifest.tsv");
  ASSERT_GT(manifest.size(), 2u);
  EXPECT_TRUE(manifest[1].ends_with("\tsha256\tlaw")) << manifest[1];
  std::map<std::string, std::string> row_of;  // by file
  for (const std::string& line : manifest) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, '\t');) f.push_back(cell);
    if (f.size() == 15) row_of[f[11]] = line;
  }
  EXPECT_TRUE(row_of["bp.d1/s2/values.txt"].starts_with(
      "bp.d1/s2\tbp.d1\t2\t3\t100\t100\t20\t-\t-\tseparate count=3 low=0.1 high=0.167 "
      "tries=1000 layer=1\tcompleted\tbp.d1/s2/values.txt\t"))
      << row_of["bp.d1/s2/values.txt"];
  EXPECT_TRUE(row_of["bp.d1/s2/values.txt"].ends_with("\tbinpacking class=4 items=20 first=1"));
  EXPECT_TRUE(row_of["ks.d0/s1/recipe.txt"].ends_with(
      "\tknapsack type=2 items=10 length=100 width=100 copies=3"));
  // The dialogue's class keeps its columns, and says so in the last.
  EXPECT_EQ(row_of["worked/s2/answers.txt"].substr(0, 51),
            "worked/s2\tworked\t2\t2\t10\t10\t4\t0.1\t0.2\t3x2\tcompleted\t");
  EXPECT_TRUE(row_of["worked/s2/answers.txt"].ends_with("\tdialogue"));
}

TEST_F(SuiteFamilies, VerifyCatchesAnEditedValueOrRecipeAndMakeKeepsTheRest) {
  testing::cli_result v = sheetkit({"suite", "verify", dir().string(), "-j", "2"});
  EXPECT_EQ(v.status, 0) << v.out;
  EXPECT_NE(v.out.find("13 sets: 13 identical, 0 differ; manifest.tsv agrees, SHA256SUMS agrees"),
            std::string::npos)
      << v.out;

  const fs::path values = dir() / "ks.d2/s1/values.txt";
  const std::string kept = bytes_of(values);
  std::string edited = kept;
  edited[edited.find('\t') - 1] = edited[edited.find('\t') - 1] == '9' ? '8' : '9';
  std::ofstream(values, std::ios::binary) << edited;
  v = sheetkit({"suite", "verify", dir().string()});
  EXPECT_EQ(v.status, 1);
  EXPECT_NE(v.out.find("ks.d2/s1: differs\n  " + (dir() / "ks.d2/s1/instances.txt").string() +
                       ": identical\n  " + (dir() / "ks.d2/s1/defects.txt").string() +
                       ": identical\n  " + values.string() + ":1: differs"),
            std::string::npos)
      << v.out;
  // Make refuses a set its .done no longer describes, and with --force makes it again.
  testing::cli_result m = sheetkit({"suite", "make", file().string(), "-o", dir().string()});
  EXPECT_EQ(m.status, 2);
  EXPECT_NE(m.err.find("its .done does not describe its values.txt"), std::string::npos) << m.err;
  m = sheetkit({"suite", "make", file().string(), "-o", dir().string(), "--force"});
  EXPECT_EQ(m.status, 0) << m.err;
  EXPECT_NE(m.out.find("1 set made, 12 kept from before"), std::string::npos) << m.out;
  EXPECT_EQ(bytes_of(values), kept);

  const fs::path recipe = dir() / "gc.d1/s3/recipe.txt";
  std::string text = bytes_of(recipe);
  text.replace(text.find("seed 3"), 6, "seed 4");
  std::ofstream(recipe, std::ios::binary) << text;
  std::ofstream(dir() / "gc.d2/s3/notes.txt") << "mine\n";
  v = sheetkit({"suite", "verify", dir().string()});
  EXPECT_EQ(v.status, 1);
  EXPECT_NE(v.out.find("gc.d1/s3: differs\n  " + recipe.string() + ":"), std::string::npos)
      << v.out;
  EXPECT_NE(v.out.find((dir() / "gc.d2/s3/notes.txt").string() + ": not part of the set"),
            std::string::npos)
      << v.out;
}

// A feasible certificate per instance, in the placement form: item type 0
// at the first corner (the origin, or beside a defect) where it stands
// clear of every defect; none placed where there is no such corner. Adds
// the profit placed to `profit` by class.
void solve(const fs::path& dir, const fs::path& out, const std::string& set, int32_t instances,
           std::map<std::string, std::vector<double>>& profit) {
  std::istringstream recipe(bytes_of(dir / set / "recipe.txt"));
  sheetgen::family_settings s;
  for (std::string line; std::getline(recipe, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    const auto parameters = [&] {
      std::vector<sheetgen::parameter> p;
      for (std::string w; words >> w;)
        p.emplace_back(w.substr(0, w.find('=')), w.substr(w.find('=') + 1));
      return p;
    };
    if (key == "family") {
      words >> s.family;
      s.parameters = parameters();
    } else if (key == "defects") {
      words >> s.defects;
      s.defect_parameters = parameters();
    } else if (key == "layer") {
      words >> s.layer;
    } else if (key == "instances") {
      words >> s.instances;
    } else if (key == "seed") {
      words >> s.seed;
    }
  }
  const sheetgen::family_run run(s);
  ASSERT_EQ(s.instances, instances);
  const sheetgen::rectangle object = run.object();
  sheetgen::family_instance in;
  for (int32_t n = 1; n <= instances; ++n) {
    run.make(n, in);
    const sheetgen::rectangle item = in.items[0];
    std::vector<std::pair<int64_t, int64_t>> corners{{0, 0}};
    for (const auto& d : in.defects) {
      corners.emplace_back(d.x2, 0);
      corners.emplace_back(0, d.y2);
      corners.emplace_back(d.x2, d.y2);
    }
    std::string certificate = "instance,item_type,x,y,rotated\n";
    double placed = 0;
    for (const auto& [x, y] : corners) {
      if (x + item.length > object.length || y + item.width > object.width) continue;
      bool clear = true;
      for (const auto& d : in.defects) {
        if (x < d.x2 && d.x1 < x + item.length && y < d.y2 && d.y1 < y + item.width) clear = false;
      }
      if (!clear) continue;
      certificate +=
          std::to_string(n) + ",0," + std::to_string(x) + "," + std::to_string(y) + ",0\n";
      placed = static_cast<double>(in.values[0]);
      break;
    }
    // Without defects, a second copy beside the first where the family
    // gives two or more: the copies are the value file's, not --copies 1.
    if (in.defects.empty() && in.copies[0] != 1 && 2 * item.length <= object.length) {
      certificate += std::to_string(n) + ",0," + std::to_string(item.length) + ",0,0\n";
      placed *= 2;
    }
    std::ofstream(out / set / ("instance_" + std::to_string(n)) / "mine.csv") << certificate;
    profit[set.substr(0, set.find('/'))].push_back(placed);
  }
}

TEST_F(SuiteFamilies, ExportedSolvedAndTabulatedWithProfits) {
  testing::cli_result e = sheetkit({"suite", "export", dir().string(), "--to", "packingsolver",
                                    "-o", out().string(), "-j", "2"});
  ASSERT_EQ(e.status, 0) << e.err;
  // PROFIT and COPIES from the values: the knapsack's value, its three copies.
  const std::vector<std::string> items = lines_of(out() / "ks.d2/s1/instance_1/items.csv");
  const std::vector<std::string> values = lines_of(dir() / "ks.d2/s1/values.txt");
  ASSERT_EQ(items.size(), 11u);
  ASSERT_EQ(values.size(), 2u * 11);  // ten item types and an empty line per instance
  EXPECT_EQ(values[0].substr(values[0].find('\t')), "\t3");
  EXPECT_NE(items[1].find("," + values[0].substr(0, values[0].find('\t')) + ",3,"),
            std::string::npos)
      << items[1];
  EXPECT_EQ(lines_of(out() / "gc.d1/s3/instance_2/defects.csv").size(), 2u);

  std::map<std::string, std::vector<double>> profit;
  for (const std::string& set : family_sets) {
    solve(dir(), out(), set, set.starts_with("bp") ? 3 : 2, profit);
  }
  for (const char* instance : {"instance_1", "instance_2"})
    std::ofstream(out() / "worked/s2" / instance / "mine.csv")
        << "instance,item_type,x,y,rotated\n";
  const testing::cli_result r =
      sheetkit({"suite", "results", dir().string(), out().string(), "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_TRUE(
      r.out.starts_with("class,solver,instances,found,feasible,infeasible,missing,"
                        "utilisation_mean,utilisation_min,utilisation_max,gap_mean,"
                        "items_mean,time_mean,profit_mean\n"))
      << r.out;
  for (const auto& [cls, placed] : profit) {
    double sum = 0;
    for (const double p : placed) sum += p;
    // As the CSV writes a double: the shortest text that reads back the same.
    char mean[32];
    *std::to_chars(mean, mean + sizeof mean - 1, sum / static_cast<double>(placed.size())).ptr = 0;
    const std::size_t row = r.out.find("\n" + cls + ",mine,");
    ASSERT_NE(row, std::string::npos) << cls << "\n" << r.out;
    const std::string line = r.out.substr(row + 1, r.out.find('\n', row + 1) - row - 1);
    EXPECT_TRUE(line.ends_with("," + std::string(mean))) << line;
  }
  EXPECT_NE(r.out.find("\nworked,mine,2,2,2,0,0,0,0,0,"), std::string::npos) << r.out;
  const testing::cli_result text = sheetkit({"suite", "results", dir().string(), out().string()});
  EXPECT_NE(text.out.find("  profit\nclass "), std::string::npos) << text.out;

  // The suite's page and table read the family sets as today's.
  const testing::cli_result stats = sheetkit({"stats", "--suite", dir().string()});
  EXPECT_EQ(stats.status, 0) << stats.err;
  for (const char* cls : {"\nbp.d0 ", "\nbp.d3 ", "\nks.d2 ", "\ngc.d1 ", "\nworked "})
    EXPECT_NE(stats.out.find(cls), std::string::npos) << cls << "\n" << stats.out;
  const testing::cli_result page = sheetkit({"suite", "report", dir().string()});
  EXPECT_EQ(page.status, 0) << page.err;
  const std::string html = bytes_of(dir() / "index.html");
  EXPECT_NE(html.find("family binpacking class=4 items=20 first=1 \xC2\xB7 defects separate"),
            std::string::npos);
}

// Every fault of a family class: the family's own words at the value's
// place, status 2, nothing written.
// A perfect class beside a classic one: the perfect sets carry the
// defects the family isolates (held by the referee like any others), and
// the table gives the gap to the known optimum beside the gap to the bound.
TEST(SuitePerfectFamily, OwnDefectsAreHeldAndTheKnownOptimumIsTabulated) {
  sheetgen::testing::scratch_folder folder;
  std::ofstream(folder / "suite.json") << R"({"suite": "known", "seeds": [1],
 "classes": [
  {"name": "pf", "family": "perfect", "instances": 2,
   "parameters": {"items": 12, "length": 600, "width": 400, "defect_sizes": "60x40"}},
  {"name": "bp", "family": "binpacking", "parameters": {"class": 1, "items": 10},
   "instances": 2}]})";
  const fs::path dir = folder / "known", out = folder / "out";
  ASSERT_EQ(
      sheetkit({"suite", "make", (folder / "suite.json").string(), "-o", dir.string()}).status, 0);
  EXPECT_TRUE(fs::is_regular_file(dir / "pf/s1/defects.txt"));
  EXPECT_NE(bytes_of(dir / "manifest.tsv").find("pf/s1/defects.txt"), std::string::npos);
  ASSERT_EQ(sheetkit({"suite", "verify", dir.string()}).status, 0);
  ASSERT_EQ(sheetkit({"suite", "export", dir.string(), "--to", "packingsolver", "-o", out.string()})
                .status,
            0);
  // The construction's own placements, made again by generate, solve each instance.
  const fs::path made = folder / "made";
  ASSERT_EQ(
      sheetkit({"generate", "perfect", "items=12", "length=600", "width=400", "defect_sizes=60x40",
                "--instances", "2", "--seed", "1", "--certificates", "-o", made.string()})
          .status,
      0);
  ASSERT_EQ(bytes_of(made / "instances.txt"), bytes_of(dir / "pf/s1/instances.txt"));
  const std::vector<std::string> rows = lines_of(made / "placements.csv");
  for (const char* k : {"1", "2"}) {
    std::ofstream solution(out / "pf/s1" / (std::string("instance_") + k) / "solution.csv");
    solution << rows[0] << '\n';
    for (std::size_t i = 1; i < rows.size(); ++i)
      if (rows[i].substr(0, rows[i].find(',')) == k) solution << rows[i] << '\n';
  }
  const testing::cli_result table = sheetkit({"suite", "results", dir.string(), out.string()});
  EXPECT_NE(table.out.find("gap to bound (%)  gap to optimum (%)"), std::string::npos) << table.out;
  std::string pf_row;
  for (std::istringstream in(table.out); std::getline(in, pf_row);)
    if (pf_row.starts_with("pf ")) break;
  std::istringstream cells(pf_row);
  std::vector<std::string> cell;
  for (std::string c; cells >> c;) cell.push_back(c);
  // class solver instances found feasible infeasible missing optima
  // utilisation mean/min/max, gap to bound, gap to optimum
  ASSERT_GE(cell.size(), 13u) << pf_row;
  EXPECT_EQ(cell[4], "2");
  EXPECT_EQ(cell[7], "2");
  EXPECT_EQ(cell[8], "100.00");  // of the usable area, the defect taken away
  EXPECT_EQ(cell[11], "0.00");
  EXPECT_EQ(cell[12], "0.00");

  // An item on the family's defect is a violation, as on any other defect.
  const std::vector<std::string> defect = lines_of(out / "pf/s1/instance_1/defects.csv");
  ASSERT_EQ(defect.size(), 2u);
  const std::string at = defect[1].substr(defect[1].find(',') + 1);  // X,Y,WIDTH,HEIGHT
  const std::string x = at.substr(0, at.find(','));
  const std::string y = at.substr(x.size() + 1, at.find(',', x.size() + 1) - x.size() - 1);
  // Item type 0 at the defect's corner, moved in as far as the object's edge needs.
  const std::vector<std::string> item = lines_of(out / "pf/s1/instance_1/items.csv");
  std::istringstream fields(item[1]);
  std::string length, width;  // WIDTH is the length, as the export writes it
  std::getline(fields, length, ',');
  std::getline(fields, width, ',');
  const int64_t ix = std::min<int64_t>(std::stoll(x), 600 - std::stoll(length));
  const int64_t iy = std::min<int64_t>(std::stoll(y), 400 - std::stoll(width));
  std::ofstream(out / "pf/s1/instance_1/solution.csv")
      << "instance,item_type,x,y,rotated\n1,0," << ix << "," << iy << ",0\n";
  const testing::cli_result bad = sheetkit({"suite", "results", dir.string(), out.string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("overlaps defect 1"), std::string::npos) << bad.out;
}

TEST(SuiteFamilyDefinition, BadFamilyClassesAreNamedWhereTheyStand) {
  sheetgen::testing::scratch_folder folder;
  const auto refused = [&](const std::string& cls, const std::string& what) {
    const fs::path file = folder.path() / "suite.json";
    std::ofstream(file) << "{\"suite\": \"s\", \"seeds\": [1],\n\"classes\": [" << cls << "]}\n";
    const testing::cli_result r =
        sheetkit({"suite", "make", file.string(), "-o", (folder.path() / "out").string()});
    EXPECT_EQ(r.status, 2) << cls;
    EXPECT_EQ(r.err, "sheetkit: suite make: " + file.string() + ":" + what + "\n") << cls;
    EXPECT_FALSE(fs::exists(folder.path() / "out")) << cls;
  };
  const std::string bp = R"({"name": "bp", "family": "binpacking", "instances": 2, )";
  refused(R"({"name": "bp", "family": "binpackin", "instances": 2})",
          "2:38: class \"bp\", family: unknown family \"binpackin\"; did you mean binpacking? "
          "(families: binpacking, knapsack, gcut, perfect)");
  refused(bp + R"("parameters": {"class": 1, "itemz": 20}})",
          "2:95: class \"bp\", parameters.itemz: binpacking has no parameter \"itemz\"; did you "
          "mean items? (its parameters: class, items, first)");
  refused(bp + R"("parameters": {"class": 11, "items": 20}})",
          "2:92: class \"bp\", parameters.class: binpacking: class 11 is out of range: it takes "
          "an integer from 1 to 10");
  refused(bp + R"("parameters": {"items": 20}})",
          "2:82: class \"bp\", parameters: binpacking needs class: the class, 1 to 10 (I to X), an "
          "integer from 1 to 10");
  const std::string ok = bp + R"("parameters": {"class": 1, "items": 20}, )";
  refused(ok + R"("defects": {"law": "seperate"}})",
          "2:128: class \"bp\", defects.law: unknown defect law \"seperate\"; did you mean "
          "separate? (defect laws: sizes, separate, points)");
  refused(ok + R"("defects": {"law": "separate", "count": 2, "high": 2}})",
          "2:160: class \"bp\", defects.high: separate: high takes a decimal above 0 and at most "
          "1, such as 0.167 (at most 6 places), not \"2\"");
  refused(ok + R"("layers": [0, 1]})",
          "2:119: class \"bp\", layers: layers keep the first defects of a defect law: give "
          "\"defects\"");
  const std::string law = ok + R"("defects": {"law": "separate", "count": 2}, )";
  refused(law + R"("layers": [0, 3]})",
          "2:167: class \"bp\", layers[1]: layer 3 keeps more defects than the law draws (2)");
  refused(law + R"("layers": [1, 1]})",
          "2:167: class \"bp\", layers[1]: the layers are counts in increasing order, each once");
  refused(ok + R"("complete": true})",
          "2:121: class \"bp\", complete: a family's runs always complete: leave \"complete\" "
          "out");
  refused(ok + R"("seeds": [-1]})",
          "2:119: class \"bp\", seeds[0]: seed -1 is out of range for a family: 0 to "
          "2147483647");
  refused(ok + R"("lower": "0.1"})",
          "2:109: class \"bp\", lower: unknown field (known: name, family, parameters, "
          "instances, defects, layers, seeds, complete)");
  refused(law + R"("layers": [0]}, {"name": "bp.d0", "length": 10, "width": 10, "instances": 1,
 "item_types": 1, "lower": "0.1", "upper": "0.2"})",
          "2:178: class \"bp.d0\", name: a second class of this name");

  // Defects that cannot be laid: the law's message, named by its set; no manifest.
  const fs::path file = folder.path() / "big.json";
  std::ofstream(file)
      << "{\"suite\": \"s\", \"seeds\": [1], \"classes\": [" << ok
      << R"("defects": {"law": "separate", "count": 30, "low": 0.3, "high": 0.4, "tries": 50}}]})";
  const fs::path made = folder.path() / "big";
  const testing::cli_result r = sheetkit({"suite", "make", file.string(), "-o", made.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((made / "bp/s1").string() + ": instance 1: defect "), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(made / "manifest.tsv"));
  EXPECT_FALSE(fs::exists(made / "bp/s1"));
}

}  // namespace
}  // namespace sheetkit
