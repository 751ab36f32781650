// sheetkit generate and the recipe, as a user runs them: the files, the
// recipe taken by check and verify, and every bad input refused with
// nothing written.
#include <gtest/gtest.h>
#include <sheetgen/value_file.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "families/recipe.h"
#include "run_sheetkit.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;

std::string read_file(const fs::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write(const fs::path& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

class Generate : public ::testing::Test {
 protected:
  fs::path dir(const std::string& name) const { return folder_.path() / name; }
  std::string arg(const std::string& name) const { return dir(name).string(); }

 private:
  sheetgen::testing::scratch_folder folder_;
};

TEST_F(Generate, WritesTheRunAndItsRecipeWhichCheckAndVerifyTake) {
  const auto made = sheetkit({"generate", "binpacking", "class=1", "items=20", "--instances", "10",
                              "--defects", "separate", "count=2", "--seed", "7", "-o", arg("bpp")});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, arg("bpp") + "/instances.txt\n" + arg("bpp") + "/defects.txt\n" + arg("bpp") +
                          "/values.txt\n" + arg("bpp") + "/recipe.txt\n" +
                          "10 instances, 200 item types, 20 defects\n");
  const std::string recipe = read_file(dir("bpp") / "recipe.txt");
  EXPECT_EQ(recipe.substr(0, recipe.find("check ")),
            "sheetgen family recipe 1\n"
            "family binpacking class=1 items=20 first=1\n"
            "defects separate count=2 low=0.1 high=0.167 tries=1000\n"
            "instances 10\nseed 7\ninstance_file instances.txt\ndefect_file defects.txt\n"
            "value_file values.txt\n");
  // The published first instance, (h, w) = (9, 5) first: length 5, width 9.
  EXPECT_EQ(read_file(dir("bpp") / "instances.txt").substr(0, 28),
            "5.000000\t9.000000\t45.000000\n");
  EXPECT_EQ(read_file(dir("bpp") / "values.txt").substr(0, 5), "45\t1\n");
  const std::string r = arg("bpp") + "/recipe.txt";
  const auto checked = sheetkit({"check", "--recipe", r});
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  EXPECT_EQ(checked.out, arg("bpp") + "/instances.txt, " + arg("bpp") + "/defects.txt, " +
                             arg("bpp") +
                             "/values.txt: 10 instances, 200 item types, 20 "
                             "defects; no problems found\n");
  const auto verified = sheetkit({"verify", "--recipe", r});
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  EXPECT_EQ(verified.out, arg("bpp") + "/instances.txt: identical\n" + arg("bpp") +
                              "/defects.txt: identical\n" + arg("bpp") +
                              "/values.txt: identical\n");

  // A value changed: verify shows where; a line lost: check too.
  const std::string values = read_file(dir("bpp") / "values.txt");
  write(dir("bpp") / "values.txt", "46" + values.substr(2));
  const auto changed = sheetkit({"verify", "--recipe", r});
  EXPECT_EQ(changed.status, 1);
  EXPECT_NE(changed.out.find(arg("bpp") + "/values.txt:1: differs"), std::string::npos)
      << changed.out;
  write(dir("bpp") / "values.txt", values.substr(values.find('\n') + 1));
  const auto short_block = sheetkit({"check", "--recipe", r});
  EXPECT_EQ(short_block.status, 1);
  EXPECT_EQ(short_block.out.substr(0, short_block.out.find('\n')),
            arg("bpp") +
                "/values.txt:1: block 1 has 19 lines where the instance file has 20 "
                "item types (line 1)");
  write(dir("bpp") / "values.txt", values + "1\t1\n\n");
  const auto extra = sheetkit({"check", "--recipe", r});
  EXPECT_EQ(extra.out, arg("bpp") +
                           "/values.txt:211: block 11 is beyond the instance file's 10 "
                           "blocks\n");
  // The instance file cut to 9 blocks: the recipe asks for 10.
  const std::string items = read_file(dir("bpp") / "instances.txt");
  write(dir("bpp") / "values.txt", values);
  std::size_t nine = 0;
  for (int k = 0; k < 9; ++k) nine = items.find("\n\n", nine) + 2;
  write(dir("bpp") / "instances.txt", items.substr(0, nine));
  const std::string defects = read_file(dir("bpp") / "defects.txt");
  nine = 0;
  for (int k = 0; k < 9; ++k) nine = defects.find("\n\n", nine) + 2;
  write(dir("bpp") / "defects.txt", defects.substr(0, nine));
  const auto cut = sheetkit({"check", "--recipe", r});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.out.find("but the recipe asks for 10 instances"), std::string::npos) << cut.out;
}

TEST_F(Generate, AnEditedOrBrokenRecipeIsRefused) {
  ASSERT_EQ(sheetkit({"generate", "gcut", "items=3", "-o", arg("g")}).status, 0);
  const fs::path r = dir("g") / "recipe.txt";
  const std::string good = read_file(r);
  const auto refused = [&](const std::string& text) {
    write(r, text);
    const auto v = sheetkit({"verify", "--recipe", r.string()});
    EXPECT_EQ(v.status, 2) << v.err;
    EXPECT_TRUE(v.out.empty());
    return v.err;
  };
  const std::string p = "sheetkit: verify: " + r.string();
  std::string edited = good;
  edited.replace(edited.find("items=3"), 7, "items=4");
  EXPECT_EQ(refused(edited), p + ":7: the check does not match the lines above it: the recipe "
                                 "was edited (make it again with sheetkit generate)\n");
  std::string unknown = good;
  unknown.replace(unknown.find("items=3"), 7, "itens=3");
  EXPECT_EQ(refused(unknown), p + ":2: gcut has no parameter \"itens\"; did you mean items? (its "
                                  "parameters: items, length, width, copies)\n");
  EXPECT_EQ(refused(good.substr(0, good.size() - 1)),
            p + ":7: the line has no line break (cut short?)\n");
  std::string outside = good;
  outside.replace(outside.find("instance_file instances.txt"), 27, "instance_file ../x.txt");
  EXPECT_EQ(refused(outside), p + ":5: \"../x.txt\" is not a plain file name: the recipe names "
                                  "files in its own folder\n");
  EXPECT_EQ(refused("instances 3\n"),
            p + ":1: not a family recipe: the first line is not \"sheetgen family recipe 1\"\n");
  const auto zero = sheetkit({"verify", "--recipe", "/dev/zero"});
  EXPECT_EQ(zero.err,
            "sheetkit: verify: /dev/zero: more than 1 MiB, too large to be a family recipe\n");
  EXPECT_EQ(zero.status, 2);
  // Written by Windows' git: CR LF is taken as LF.
  std::string crlf;
  for (const char c : good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  write(r, crlf);
  EXPECT_EQ(sheetkit({"verify", "--recipe", r.string()}).status, 0);
}

// The values and copies reach the exports and the referee's profit.
TEST_F(Generate, ValuesAndCopiesReachExportsAndTheProfit) {
  ASSERT_EQ(sheetkit({"generate", "knapsack", "type=1", "items=3", "copies=4", "--seed", "5", "-o",
                      arg("k")})
                .status,
            0);
  const std::string r = arg("k") + "/recipe.txt";
  std::vector<std::pair<rectangle, sheetgen::item_value>> types;
  {
    std::ifstream items(dir("k") / "instances.txt"), values(dir("k") / "values.txt");
    double l = 0, w = 0, a = 0;
    int64_t v = 0;
    std::string c;
    while (items >> l >> w >> a && values >> v >> c)
      types.push_back({rectangle::of(static_cast<int32_t>(l), static_cast<int32_t>(w)), {v, 4}});
    ASSERT_EQ(types.size(), 3u);
    ASSERT_EQ(c, "4");
  }
  ASSERT_EQ(sheetkit({"export", "--recipe", r, "--to", "packingsolver", "-o", arg("ps")}).status,
            0);
  std::string expected = "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n";
  for (const auto& [t, v] : types)
    expected += std::to_string(t.length) + "," + std::to_string(t.width) + "," +
                std::to_string(v.value) + ",4,1\n";
  EXPECT_EQ(read_file(dir("ps") / "instance_1" / "items.csv"), expected);
  const auto json = sheetkit({"export", "--recipe", r, "--to", "json", "-o", "-"});
  EXPECT_NE(json.out.find("],\"values\":[" + std::to_string(types[0].second.value) + ","),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("],\"copies\":[4,4,4],\"defects\":[]"), std::string::npos) << json.out;
  EXPECT_EQ(sheetkit({"export", "--recipe", r, "--to", "packingsolver", "--copies", "2", "-o",
                      arg("ps2")})
                .err,
            "sheetkit: export: --copies: the run's value file gives each item type's copies\n");
  // Two copies of the narrowest type, one above the other: profit 2 x its value.
  std::size_t narrow = 0;
  for (std::size_t k = 1; k < types.size(); ++k)
    if (types[k].first.width < types[narrow].first.width) narrow = k;
  const rectangle& t = types[narrow].first;
  ASSERT_LE(2 * t.width, 100);
  write(dir("ps") / "instance_1" / "solution.csv",
        "TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID\nBIN,0,1,0,0,0,100,100,\nITEM," +
            std::to_string(narrow) + ",1,0,0,0," + std::to_string(t.length) + "," +
            std::to_string(t.width) + ",0\nITEM," + std::to_string(narrow) + ",1,0,0," +
            std::to_string(t.width) + "," + std::to_string(t.length) + "," +
            std::to_string(t.width) + ",0\n");
  const auto scored = sheetkit({"solution", "check", "--recipe", r, arg("ps"), "--format", "json"});
  EXPECT_NE(scored.out.find("\"profit\":" + std::to_string(2 * types[narrow].second.value)),
            std::string::npos)
      << scored.out << scored.err;
  EXPECT_NE(scored.out.find("\"placed_area\":" + std::to_string(2 * t.area)), std::string::npos);
}

TEST_F(Generate, BadInputIsAUsageErrorAndWritesNothing) {
  const auto refused = [&](std::vector<std::string> args, int status = 2) {
    args.insert(args.begin(), "generate");
    args.insert(args.end(), {"-o", arg("out")});
    const auto r = sheetkit(args);
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_FALSE(fs::exists(dir("out")));
    EXPECT_TRUE(r.out.empty());
    return r.err;
  };
  EXPECT_EQ(refused({"knapsak", "type=1"}),
            "sheetkit: generate: unknown family \"knapsak\"; did you mean knapsack? (families: "
            "binpacking, knapsack, gcut, perfect)\n");
  EXPECT_EQ(
      refused({"knapsack", "type=4", "items=2"}),
      "sheetkit: generate: knapsack: type 4 is out of range: it takes an integer from 1 to 3\n");
  EXPECT_EQ(refused({"knapsack", "type"}),
            "sheetkit: generate: expected NAME=VALUE after knapsack, not \"type\"\n");
  EXPECT_EQ(refused({"gcut", "items=2", "--defects", "points", "sid=3"}),
            "sheetkit: generate: points has no parameter \"sid\"; did you mean side? (its "
            "parameters: low, high, side)\n");
  EXPECT_EQ(refused({"gcut", "items=2", "--instances", "0"}),
            "sheetkit: generate: instances 0 is out of range: 1 to 20000\n");
  // Defects that cannot be placed: found while generating (status 1).
  EXPECT_EQ(refused({"gcut", "items=2", "--instances", "3", "--defects", "separate", "count=2",
                     "low=0.6", "high=0.7", "tries=20"},
                    1),
            "sheetkit: generate: instance 1: defect 2 does not fit beside the 1 before it in 20 "
            "tries: ask for fewer or smaller defects, or more tries\n");
  // The perfect family: defects its tree cannot cut out are named before
  // anything is made; a law beside its own defects is refused.
  EXPECT_EQ(
      refused({"perfect", "items=9", "stages=1", "defect_sizes=5x5,4x2", "orientation=vertical"}),
      "sheetkit: generate: perfect: defect 1 (5 x 5) needs stages 2 or more: with one, a "
      "defect spans the object's width\n");
  EXPECT_EQ(refused({"perfect", "items=9", "least=8", "defect_sizes=50x50,20x4",
                     "orientation=horizontal"}),
            "sheetkit: generate: perfect: defect 2 (20 x 4) is shorter along the object's width "
            "than least 8, and so would be the items beside it\n");
  EXPECT_EQ(refused({"perfect", "items=9", "--defects", "points"})
                .rfind("sheetkit: generate: perfect places its defects itself", 0),
            0u);
  EXPECT_EQ(refused({"binpacking", "class=1", "items=3", "--certificates"}),
            "sheetkit: generate: --certificates: the family binpacking builds no solution of its "
            "own; only perfect does\n");
  // A tree too small for the item types asked for: found while making it.
  EXPECT_EQ(refused({"perfect", "items=30", "length=10", "width=10", "least=4"}, 1),
            "sheetkit: generate: instance 1: the tree cannot be cut into 30 item types with a "
            "least side of 4 and 3 stages: it stopped at 4\n");
}

// A perfect run as a researcher uses it: its recipe says the optimum is
// known, and the construction's own certificates meet it exactly.
TEST_F(Generate, PerfectRunsCertificatesMeetTheKnownOptimum) {
  for (const bool pinwheels : {false, true}) {
    const std::string out = arg(pinwheels ? "pin" : "cut");
    const auto made =
        sheetkit({"generate", "perfect", "items=40", "length=600", "width=400", "stages=3",
                  "least=5", "defect_sizes=40x30,25x60", pinwheels ? "pinwheels=2" : "pinwheels=0",
                  "--instances", "3", "--seed", "5", "--certificates", "-o", out});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("3 instances, 120 item types, 6 defects\n"), std::string::npos)
        << made.out;
    const std::string recipe = read_file(fs::path(out) / "recipe.txt");
    EXPECT_NE(recipe.find("\ndefect_file defects.txt\nvalue_file values.txt\nknown_optimum "
                          "total_value\ncheck "),
              std::string::npos)
        << recipe;
    EXPECT_EQ(recipe.find("\ndefects "), std::string::npos);  // no law: the family's own
    const std::string r = out + "/recipe.txt";
    EXPECT_EQ(sheetkit({"verify", "--recipe", r}).status, 0);
    EXPECT_EQ(sheetkit({"check", "--recipe", r}).status, 0);
    std::vector<std::vector<std::string>> solutions = {{out + "/placements.csv"}};
    if (!pinwheels) {
      solutions.push_back(
          {out + "/certificate_1.csv", out + "/certificate_2.csv", out + "/certificate_3.csv"});
    } else {
      EXPECT_FALSE(fs::exists(fs::path(out) / "certificate_1.csv"));
    }
    for (const auto& files : solutions) {
      std::vector<std::string> args = {"solution", "check", "--recipe", r, "--format", "csv"};
      args.insert(args.end(), files.begin(), files.end());
      const auto judged = sheetkit(args);
      EXPECT_EQ(judged.status, 0) << judged.out << judged.err;
      std::istringstream lines(judged.out);
      std::string line;
      std::getline(lines, line);
      EXPECT_EQ(line.substr(line.size() - 30), ",gap,known_optimum,optimum_gap");
      int rows = 0;
      while (std::getline(lines, line)) {
        ++rows;
        // Feasible, and no gap to the bound or to the optimum, which is the profit.
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
        ASSERT_EQ(cells.size(), 14u) << line;
        EXPECT_EQ(cells[2], "1") << line;
        EXPECT_EQ(cells[11], "0.000000") << line;
        EXPECT_EQ(cells[12], cells[7]) << line;
        EXPECT_EQ(cells[13], "0.000000") << line;
      }
      EXPECT_EQ(rows, 4);  // three instances and the run
      args[5] = "text";
      const auto text = sheetkit(args);
      EXPECT_NE(text.out.find("gap 0.000% to the known optimum "), std::string::npos) << text.out;
    }
  }
  // A run of another family says nothing of optima.
  ASSERT_EQ(sheetkit({"generate", "gcut", "items=3", "-o", arg("g")}).status, 0);
  EXPECT_EQ(read_file(dir("g") / "recipe.txt").find("known_optimum"), std::string::npos);
}

}  // namespace
}  // namespace sheetkit
