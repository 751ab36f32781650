#include "suites/suite_results.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "suite_example.h"
#include "suites/results_table.h"
#include "test_util.h"
#include "text/json_format.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;

const fs::path data = fs::path(SHEETGEN_SOURCE_DIR) / "sheetkit" / "tests" / "data" / "results";
// The suite and the certificates that docs/suites.md shows.
const fs::path example = fs::path(SHEETGEN_SOURCE_DIR) / "examples" / "results";

using testing::bytes_of;

// The suite of data/results/suite.json, exported, with the stored
// certificates of two solvers: rectangle (PackingSolver's, with its JSON
// output) feasible, infeasible and missing; greedy (placement files) on
// one class only, one of them rotated where the export allows no rotation.
class SuiteResults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        sheetkit({"suite", "make", (example / "suite.json").string(), "-o", dir().string()}).status,
        0);
    ASSERT_EQ(
        sheetkit({"suite", "export", dir().string(), "--to", "packingsolver", "-o", out().string()})
            .status,
        0);
    fs::copy(example / "certificates", out(), fs::copy_options::recursive);
  }
  fs::path dir() const { return folder_ / "suite"; }
  fs::path out() const { return folder_ / "out"; }
  testing::cli_result results(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"suite", "results", dir().string(), out().string()};
    args.insert(args.end(), more.begin(), more.end());
    return sheetkit(args);
  }

  sheetgen::testing::scratch_folder folder_;
};

TEST_F(SuiteResults, EveryFormatGivesTheStoredRowsTheSameForEveryJobCount) {
  const std::string sha = bytes_of(out() / "suite.sha256").substr(0, 64);
  for (const char* format : {"text", "csv", "latex", "json"}) {
    const testing::cli_result one = results({"--format", format, "-j", "1"});
    EXPECT_EQ(one.status, 1) << format;  // infeasible and missing solutions
    EXPECT_EQ(one.err, "sheetkit: suite results: 2 infeasible, 5 missing\n");
    const std::string golden = std::string("results.") + (std::string(format) == "latex"  ? "tex"
                                                          : std::string(format) == "text" ? "txt"
                                                                                          : format);
    std::string want = bytes_of(data / golden);
    for (std::size_t at = want.find("SHA256"); at != std::string::npos; at = want.find("SHA256"))
      want.replace(at, 6, sha);
    EXPECT_EQ(one.out, want) << format;
    EXPECT_EQ(results({"--format", format, "-j", "2"}).out, one.out) << format;
  }
  // The page: written whole into the export, the same for every -j.
  const testing::cli_result page = results({"--format", "html", "-j", "2"});
  EXPECT_EQ(page.out, (out() / "results.html").string() + "\n");
  const std::string html = bytes_of(out() / "results.html");
  EXPECT_NE(html.find("<code id=\"manifest-sha256\">" + sha + "</code>"), std::string::npos);
  ASSERT_EQ(results({"--format", "html", "-j", "1", "-o", (folder_ / "one.html").string()}).status,
            1);
  EXPECT_EQ(bytes_of(folder_ / "one.html"), html);
}

TEST_F(SuiteResults, EveryInstanceSolvedAndFeasibleIsStatusZero) {
  for (const char* set : {"s19", "s2"})
    fs::remove(out() / "plain" / set / "instance_1" / "greedy.csv");
  // Nothing placed is a solution too; the defects as the solver read them.
  std::ofstream(out() / "worked" / "s19" / "instance_2" / "rectangle.csv")
      << "TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID\nBIN,0,1,0,0,0,10,10,\n"
         "DEFECT,0,1,0,1,0,3,2,\nDEFECT,1,1,0,0,4,10,1,\n";
  std::ofstream(out() / "worked" / "s2" / "instance_2" / "rectangle.csv")
      << "TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID\nBIN,0,1,0,0,0,10,10,\n"
         "DEFECT,0,1,0,6,6,3,2,\nDEFECT,1,1,0,0,2,10,1,\n";
  const testing::cli_result r = results({"--format", "csv"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("\nworked,rectangle,4,4,4,0,0,"), std::string::npos) << r.out;
}

TEST_F(SuiteResults, BadExportsAreNamedAndNothingIsWritten) {
  const fs::path table = folder_ / "table.txt";
  std::ofstream(table) << "earlier\n";
  const auto refused = [&](const std::string& what) {
    const testing::cli_result r = results({"-o", table.string()});
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    EXPECT_EQ(bytes_of(table), "earlier\n");
  };
  const fs::path one = out() / "worked" / "s19" / "instance_1";

  std::ofstream(one / "notes.txt") << "mine\n";
  refused((one / "notes.txt").string() + ": neither the export's nor a solver's file");
  fs::remove(one / "notes.txt");

  std::ofstream(one / "rectangle.json") << "{\"Output\": ";
  refused((one / "rectangle.json").string() + ": not a solver's JSON output");
  std::ofstream(one / "rectangle.json") << "{}";

  // A certificate the reader refuses is no feasible solution: listed with
  // the reader's words, as solution check gives them.
  const std::string certificate = bytes_of(one / "rectangle.csv");
  std::ofstream(one / "rectangle.csv") << "TYPE,ID,COPIES\nITEM,0,1\n";
  const auto listed = [&](const std::string& what) {
    const testing::cli_result r = results();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("  worked/s19/instance_1  rectangle  " + what), std::string::npos)
        << r.out;
  };
  listed("rectangle.csv:1: header \"TYPE,ID,COPIES\" is none of");
  std::ofstream(one / "rectangle.csv") << certificate;

  fs::create_directories(out() / "worked" / "s3");
  refused((out() / "worked" / "s3").string() + ": not an exported set of the suite");
  fs::remove(out() / "worked" / "s3");

  fs::rename(out() / "plain" / "s2", folder_ / "s2");
  refused((out() / "plain" / "s2").string() + ": the set plain/s2 is missing from the export");
  fs::rename(folder_ / "s2", out() / "plain" / "s2");

  // An export edited since: the solver read another instance, or other
  // rules than the export's record gives; a value out of range is one.
  const std::string items = bytes_of(one / "items.csv");
  std::ofstream(one / "items.csv") << "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n3,5,15,9,1\n";
  listed((one / "items.csv").string() +
         ":2: item type 0 has COPIES 9 and ORIENTED 1, where the export (--copies 1) writes "
         "COPIES 1 and ORIENTED 1");
  std::string turned = items;
  turned.replace(turned.find(",1,1\n"), 5, ",1,0\n");
  std::ofstream(one / "items.csv") << turned;
  listed((one / "items.csv").string() + ":2: item type 0 has COPIES 1 and ORIENTED 0");
  std::string negative = items;
  negative.replace(negative.find(",1,1\n"), 5, ",-5,7\n");
  std::ofstream(one / "items.csv") << negative;
  listed((one / "items.csv").string() + ":2: item type 0 has COPIES -5 and ORIENTED 7");
  std::ofstream(one / "items.csv") << items;

  // The table never goes over what results reads or a solver wrote.
  const std::string manifest = bytes_of(dir() / "manifest.tsv");
  for (const fs::path& over : {dir() / "manifest.tsv", one / "rectangle.csv",
                               out() / "suite.sha256", out() / "worked" / "table.txt"}) {
    const std::string before = fs::exists(over) ? bytes_of(over) : "";
    const testing::cli_result r = results({"-o", over.string()});
    EXPECT_EQ(r.status, 2) << over;
    EXPECT_NE(r.err.find("-o " + over.string()), std::string::npos) << r.err;
    EXPECT_EQ(fs::exists(over) ? bytes_of(over) : "", before) << over;
  }
  EXPECT_EQ(bytes_of(dir() / "manifest.tsv"), manifest);
  EXPECT_EQ(results({"-o", (out() / "table.txt").string()}).status, 1);  // beside the sets: fine
  EXPECT_NE(bytes_of(out() / "table.txt").find("infeasible"), std::string::npos);
  fs::remove(out() / "table.txt");

  std::ofstream(out() / "suite.sha256") << std::string(64, '0') << "\n";
  refused((out() / "suite.sha256").string() + ": names the suite " + std::string(64, '0'));
}

// The one judge: solution check of a set's export folder and suite results
// give one verdict and one message for each certificate, feasible or not,
// with the rules of the set's record and its files held to them.
TEST_F(SuiteResults, SolutionCheckOfASetSaysWhatResultsSays) {
  const fs::path set = out() / "worked" / "s19";
  const fs::path one = set / "instance_1";
  const std::string certificate = bytes_of(one / "rectangle.csv");
  const std::string items = bytes_of(one / "items.csv");
  const auto first_violation = [&] {
    const testing::cli_result c =
        sheetkit({"solution", "check", set.string(), "--certificate", "rectangle.csv", "--object",
                  "10x10", (dir() / "worked/s19/instances.txt").string(),
                  (dir() / "worked/s19/defects.txt").string()});
    const std::string first = c.out.substr(0, c.out.find('\n'));
    return first.starts_with("instance 1: ") ? std::string() : first;
  };
  const auto listed = [&] {
    const std::string r = results().out;
    const std::string key = "  worked/s19/instance_1  rectangle  ";
    const std::size_t at = r.find(key);
    return at == std::string::npos ? std::string()
                                   : r.substr(at + key.size(), r.find('\n', at) - at - key.size());
  };
  struct planted {
    std::string certificate;
    std::string items;
  };
  std::string stacked = certificate;
  stacked.replace(stacked.find("ITEM,0,1,"), 9, "ITEM,0,7,");
  std::string turned = items;
  turned.replace(turned.find(",1,1\n"), 5, ",1,0\n");
  const planted cases[] = {{certificate, items}, {stacked, items}, {certificate, turned}};
  int feasible = 0;
  for (const planted& p : cases) {
    std::ofstream(one / "rectangle.csv") << p.certificate;
    std::ofstream(one / "items.csv") << p.items;
    const std::string check = first_violation(), result = listed();
    feasible += check.empty();
    EXPECT_EQ(check.empty(), result.empty()) << check << "\n" << result;
    // The check names the file by its path, results within its instance folder.
    if (!check.empty()) {
      const std::string path = (one / "rectangle.csv").string();
      EXPECT_EQ(check.starts_with(path) ? check.substr(path.size()) : check,
                result.starts_with("rectangle.csv") ? result.substr(13) : result);
    }
  }
  EXPECT_EQ(feasible, 1);
}

TEST_F(SuiteResults, TheFirstForeignFileInTheSuitesOrderIsNamedForEveryJobCount) {
  std::ofstream(out() / "plain" / "s2" / "instance_1" / "notes.txt") << "b\n";
  std::ofstream(out() / "worked" / "s2" / "instance_1" / "notes.txt") << "a\n";
  for (const char* jobs : {"1", "2", "4"}) {
    const testing::cli_result r = results({"-j", jobs});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find((out() / "worked" / "s2" / "instance_1" / "notes.txt").string()),
              std::string::npos)
        << jobs << ": " << r.err;
  }
}

TEST_F(SuiteResults, TheRecordIsShownAsTheReadersShowBytes) {
  for (const char* set : {"worked/s19", "worked/s2", "plain/s19", "plain/s2"}) {
    std::ofstream(out() / set / ".exported")
        << "sheetkit suite export --to packingsolver --copies 1\x1b[2J\n";
  }
  const testing::cli_result r = results();
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
}

// A class whose optima are known by construction beside one whose are
// not: the gap to the optimum has columns of its own, apart from the gap
// to the bound, and only the class that has optima fills them.
// Every JSON document sheetkit writes starts with its format_version, so
// that a script can tell what it reads: the run's figures, the paper table,
// the export (whole and as lines), the certificate's check and the results.
TEST_F(SuiteResults, EveryJsonDocumentNamesItsFormatVersion) {
  const std::string run = (dir() / "worked" / "s19").string();
  const std::vector<std::string> files = {"--object", "10x10", run + "/instances.txt",
                                          run + "/defects.txt"};
  const auto with = [&](std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.begin() + 1, files.begin(), files.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const std::string set = (out() / "worked" / "s19").string();
  const std::vector<std::vector<std::string>> commands = {
      with({"stats"}, {"--json"}),
      with({"stats"}, {"--per-instance", "--format", "json"}),
      {"stats", "--suite", dir().string(), "--format", "json"},
      with({"export"}, {"--to", "json", "-o", "-"}),
      with({"export"}, {"--to", "jsonl", "-o", "-"}),
      {"solution", "check", set, "--certificate", "rectangle.csv", "--object", "10x10",
       run + "/instances.txt", run + "/defects.txt", "--json"},
      {"suite", "results", dir().string(), out().string(), "--format", "json"}};
  for (const std::vector<std::string>& args : commands) {
    const testing::cli_result r = sheetkit(args);
    std::string said;
    for (const std::string& a : args) said += a + " ";
    ASSERT_FALSE(r.out.empty()) << said << r.err;
    // JSON lines: the first line says it for the lines after it.
    const std::string first = args.back() == "-" && args[args.size() - 3] == "jsonl"
                                  ? r.out.substr(0, r.out.find('\n'))
                                  : r.out;
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(first);
    ASSERT_TRUE(j.is_object()) << said;
    EXPECT_EQ(j.begin().key(), "format_version") << said << r.out.substr(0, 200);
    EXPECT_EQ(j.value("format_version", 0), json_format_version) << said;
  }
}

// The LaTeX table's columns as the user names them: the default fits a
// portrait page, all is every column, a wrong name is answered with the
// nearest, and other formats say they keep every column.
TEST_F(SuiteResults, LatexColumnsAreChosenByName) {
  const auto tabular = [](const std::string& latex) {
    const std::size_t at = latex.find("\\begin{tabular}{@{}");
    return latex.substr(at + 19, latex.find('@', at + 19) - at - 19);
  };
  const testing::cli_result standard = results({"--format", "latex"});
  EXPECT_EQ(tabular(standard.out), "llrrrrr") << standard.out;
  EXPECT_NE(standard.out.find("% Left out (--columns all shows them): found, infeasible, "
                              "missing, utilisation_min, utilisation_max, items_mean."),
            std::string::npos)
      << standard.out;
  const testing::cli_result all = results({"--format", "latex", "--columns", "all"});
  EXPECT_EQ(tabular(all.out), "llrrrrrrrrrrr") << all.out;
  EXPECT_EQ(all.out.find("Left out"), std::string::npos) << all.out;
  const testing::cli_result two =
      results({"--format", "latex", "--columns", "time_mean,class,feasible"});
  EXPECT_EQ(tabular(two.out), "llrr") << two.out;
  EXPECT_NE(two.out.find("class & solver & mean & feas. \\\\\n"), std::string::npos) << two.out;
  const testing::cli_result wrong = results({"--format", "latex", "--columns", "gap_man"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("no column is named \"gap_man\"; did you mean gap_mean?"),
            std::string::npos)
      << wrong.err;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--format", "latex", "--columns", "feasible,feasible"},
        {"--format", "latex", "--columns", "feasible,"},
        {"--format", "csv", "--columns", "feasible"}}) {
    const testing::cli_result r = results(bad);
    EXPECT_EQ(r.status, 2) << bad.back();
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

TEST(ResultsTable, KnownOptimaGetColumnsOfTheirOwn) {
  suite_results r;
  r.suite = "mixed";
  r.manifest_sha256 = std::string(64, 'a');
  r.solvers = {"rect"};
  solver_row perfect;
  perfect.cls = "perfect";
  perfect.solver = "rect";
  perfect.instances = perfect.found = perfect.feasible = 4;
  perfect.utilisation_sum = 3.8, perfect.utilisation_min = 0.9, perfect.utilisation_max = 1;
  perfect.gap_sum = 0.2;
  perfect.optima = 4;
  perfect.optimum_feasible = 4;
  perfect.optimum_gap_sum = 0.12;  // a mean of 3 %
  solver_row classic = perfect;
  classic.cls = "classic";
  classic.optima = classic.optimum_feasible = 0;
  classic.optimum_gap_sum = 0;
  r.rows = {perfect, classic};
  const auto text_of = [&](void (*write)(std::ostream&, const suite_results&)) {
    std::ostringstream out;
    write(out, r);
    return out.str();
  };
  const std::string text = text_of(write_results_text);
  EXPECT_NE(text.find("gap to bound (%)  gap to optimum (%)"), std::string::npos) << text;
  const auto row_of = [&](const std::string& cls) {
    const std::size_t at = text.find("\n" + cls + " ");
    std::istringstream line(text.substr(at + 1, text.find('\n', at + 1) - at - 1));
    std::vector<std::string> cells;
    for (std::string cell; line >> cell;) cells.push_back(cell);
    return cells;
  };
  // instances found feasible infeasible missing optima | utilisation | the
  // gaps to the bound and to the optimum | items time
  EXPECT_EQ(row_of("perfect"),
            (std::vector<std::string>{"perfect", "rect", "4", "4", "4", "0", "0", "4", "95.00",
                                      "90.00", "100.00", "5.00", "3.00", "0.00", "-"}))
      << text;
  EXPECT_EQ(row_of("classic"),
            (std::vector<std::string>{"classic", "rect", "4", "4", "4", "0", "0", "-", "95.00",
                                      "90.00", "100.00", "5.00", "-", "0.00", "-"}))
      << text;
  const std::string csv = text_of(write_results_csv);
  EXPECT_NE(csv.find("time_mean,optima,optimum_gap_mean\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",4,0.03\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",0,\n"), std::string::npos) << csv;
  const std::string json = text_of(write_results_json);
  EXPECT_NE(json.find("\"optimum_gap_mean\": 0.03"), std::string::npos) << json;
  EXPECT_NE(json.find("\"optimum_gap_mean\": null"), std::string::npos) << json;
  std::ostringstream all;
  write_results_latex(all, r, results_columns_named("all"));
  EXPECT_NE(all.str().find("gap to\\\\optimum (\\%)"), std::string::npos) << all.str();
  EXPECT_NE(all.str().find("\\cmidrule(lr){9-11}"), std::string::npos) << all.str();
  // The default keeps the gap to the optimum, on two lines.
  std::ostringstream latex;
  write_results_latex(latex, r);
  EXPECT_NE(latex.str().find("{@{}r@{}}gap to\\\\optimum (\\%)"), std::string::npos) << latex.str();
  // Every row has as many cells as the heading has columns.
  const std::string html = results_table_html(r);
  const auto count = [](const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(html, "<td class=\"num\">"), 2 * 13u);
  EXPECT_NE(html.find("gap to optimum (%)"), std::string::npos);

  // Without any known optimum: the columns and labels of before.
  r.rows = {classic};
  EXPECT_EQ(text_of(write_results_text).find("optim"), std::string::npos);
  EXPECT_EQ(text_of(write_results_csv).find("optim"), std::string::npos);
  EXPECT_EQ(text_of(write_results_json).find("optim"), std::string::npos);
  EXPECT_EQ(count(results_table_html(r), "<td class=\"num\">"), 11u);
}

TEST(SolverTime, ReadsPackingSolversOutputAndRefusesWhatIsNoJson) {
  EXPECT_EQ(solver_time(R"({"Output": {"Solution": {}, "Time": 1.5}})", "a.json"), 1.5);
  EXPECT_LT(solver_time(R"({"Output": {"Solution": {}}})", "a.json"), 0);
  EXPECT_LT(solver_time(R"({"Output": {"Time": "fast"}})", "a.json"), 0);
  EXPECT_THROW(solver_time("[1, 2]", "a.json"), sheetgen::error);
  EXPECT_THROW(solver_time("", "a.json"), sheetgen::error);
  // A time no run took would sum to infinity in the means.
  EXPECT_THROW(solver_time(R"({"Output": {"Time": 1.7e308}})", "a.json"), sheetgen::error);
}

}  // namespace
}  // namespace sheetkit
