#include "suites/suite_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "suite_example.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;
using testing::sheetkit;

using testing::bytes_of;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

using SuiteReport = testing::made_example;

TEST_F(SuiteReport, MakeWritesThePageThatReportWrites) {
  const std::string page = bytes_of(dir() / "index.html");
  const testing::cli_result report =
      sheetkit({"suite", "report", dir().string(), "-o", (folder_ / "page.html").string()});
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(report.out, (folder_ / "page.html").string() + "\n");
  EXPECT_EQ(bytes_of(folder_ / "page.html"), page);
  EXPECT_EQ(sheetkit({"suite", "report", dir().string(), "-o", "-"}).out, page);

  EXPECT_NE(page.find("<code id=\"manifest-sha256\">" + sha256_ + "</code>"), std::string::npos);
  // Three classes, each a row and a section; pictures with ids of their
  // own: every class's item types, and the first instance and the overlay
  // only where the class has defects.
  const std::size_t table = page.find("<table class=\"figures\">");
  const std::string figures = page.substr(table, page.find("</table>", table) - table);
  for (const char* name : {"worked", "sheet", "tight"}) {
    EXPECT_EQ(count(figures, std::string("<th scope=\"row\" class=\"name\">") + name + "</th>"), 1u)
        << name;
    EXPECT_EQ(count(page, std::string("<section class=\"class\" id=\"class-") + name + "\">"), 1u);
  }
  for (const char* id :
       {"class1-instance", "class1-defects", "class1-items", "class2-items", "class3-items"})
    EXPECT_EQ(count(page, std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"") + id), 1u)
        << id;
  EXPECT_EQ(count(page, "<svg "), 5u);
  EXPECT_EQ(count(page, "<?xml"), 0u);  // inlined, not files of their own
  // worked/s1 aborted and kept; tight's seeds up to 123, but 68, skipped.
  EXPECT_NE(page.find("<th scope=\"row\" class=\"name\">worked</th><td>\xE2\x80\x93</td><td>1 "
                      "(1 seed)</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>60\xE2\x80\x93"
                      "67, 69\xE2\x80\x93"
                      "122 (62 seeds)</td>"),
            std::string::npos);
  EXPECT_NE(page.find("seeds -1 to 1 (3 completed)"), std::string::npos);
}

// The page's sheetkit commands, run from where it tells the reader to
// stand: the folder that holds the suite's.
TEST_F(SuiteReport, ItsCommandsRunWhereThePageSaysToRunThem) {
  fs::rename(dir(), folder_ / "worked-demo");
  const std::string page = bytes_of(folder_ / "worked-demo" / "index.html");
  ASSERT_NE(page.find("run from the folder that holds it"), std::string::npos);
  struct back_home {
    fs::path home = fs::current_path();
    ~back_home() { fs::current_path(home); }
  } restore;
  fs::current_path(folder_.path());
  int run = 0;
  const std::string start = "<code>sheetkit ";
  for (std::size_t at = page.find(start); at != std::string::npos; at = page.find(start, at + 1)) {
    const std::size_t from = at + start.size();
    std::istringstream words(page.substr(from, page.find("</code>", from) - from));
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    const testing::cli_result r = sheetkit(args);
    EXPECT_EQ(r.status, 0) << args[0] << " " << args[1] << ": " << r.err;
    // Made again, the suite has the manifest the page gives.
    if (args[1] == "make") {
      EXPECT_NE(r.out.find(sha256_), std::string::npos) << r.out;
    }
    ++run;
  }
  EXPECT_EQ(run, 3);  // make, verify, stats
}

TEST_F(SuiteReport, NamesAreEscapedAndNothingBreaksThePage) {
  std::string hostile = testing::suite_json_text;
  hostile.replace(hostile.find("\"worked-demo\""), 13, "\"<b>&amp; 'x' \\\"y\\\"\"");
  folder_.write("hostile.json", hostile);
  ASSERT_EQ(sheetkit({"suite", "make", (folder_ / "hostile.json").string(), "-o",
                      (folder_ / "hostile").string()})
                .status,
            0);
  const std::string page = bytes_of(folder_ / "hostile/index.html");
  EXPECT_NE(page.find("<h1>&lt;b&gt;&amp;amp; &apos;x&apos; &quot;y&quot;</h1>"),
            std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  // Not a folder's name: the commands say DIR.
  EXPECT_NE(page.find("<pre><code>sheetkit suite verify DIR</code></pre>"), std::string::npos);
}

TEST_F(SuiteReport, RefusesWhatItCannotReportAndKeepsThePageBefore) {
  const std::string page = bytes_of(dir() / "index.html");
  const std::string d = dir().string();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } refusals[] = {
      {{"-o", ""},
       2,
       "sheetkit: suite report: -o \"\": give the page's file name, or leave -o out for "
       "DIR/index.html\n"},
      {{"-o", d},
       2,
       "sheetkit: suite report: " + d +
           " is a folder; give the page's file name with -o, such "
           "as " +
           d + "/index.html\n"},
      {{"-o", "/dev/full"},
       1,
       "sheetkit: suite report: /dev/full: cannot be written: No space left on device\n"},
  };
  for (const auto& r : refusals) {
    std::vector<std::string> args{"suite", "report", d};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const testing::cli_result refused = sheetkit(args);
    EXPECT_EQ(refused.status, r.status) << r.err;
    EXPECT_EQ(refused.err, r.err);
  }

  // A set's file cut short: the report fails, the page before stays.
  const fs::path instances = dir() / "sheet/s0/instances.txt";
  const std::string whole = bytes_of(instances);
  folder_.write("suite/sheet/s0/instances.txt", whole.substr(0, whole.size() / 2));
  const testing::cli_result cut = sheetkit({"suite", "report", d});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find(instances.string() + ":"), std::string::npos) << cut.err;
  EXPECT_EQ(bytes_of(dir() / "index.html"), page);
  folder_.write("suite/sheet/s0/instances.txt", whole);

  // A manifest that does not fit the suite file, and none at all.
  std::string manifest = bytes_of(dir() / "manifest.tsv");
  const std::string original = manifest;
  manifest.replace(manifest.find("\tworked\t2\t2\t"), 12, "\tworked\t2\t3\t");
  folder_.write("suite/manifest.tsv", manifest);
  const testing::cli_result unfit = sheetkit({"suite", "report", d});
  EXPECT_EQ(unfit.status, 1);
  EXPECT_NE(unfit.err.find("manifest.tsv:"), std::string::npos);
  EXPECT_NE(unfit.err.find(": does not fit class \"worked\" of suite.json; sheetkit suite verify " +
                           d + " tells what differs"),
            std::string::npos)
      << unfit.err;
  fs::remove(dir() / "manifest.tsv");
  EXPECT_EQ(sheetkit({"suite", "report", d}).err,
            "sheetkit: suite report: " + d +
                ": no manifest.tsv: the suite is not made to its end; run sheetkit suite make "
                "without --shard first\n");
  fs::create_directory(folder_ / "empty");
  const std::string empty = (folder_ / "empty").string();
  EXPECT_EQ(sheetkit({"suite", "report", empty}).err,
            "sheetkit: suite report: " + empty + ": no suite here (no suite.json)\n");

  // Paths that are no suite folder say what they are, whichever command
  // reads the suite.
  const std::string expected = "; give the folder that sheetkit suite make wrote";
  const std::string missing = (folder_ / "nothere").string();
  const std::string file = d + "/suite.json";
  fs::copy_file(dir() / "suite.json", folder_ / "empty" / "suite.json");
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"suite", "report"}, {"suite", "verify"}, {"stats", "--suite"}}) {
    const auto told = [&](const std::string& path) {
      std::vector<std::string> args = command;
      args.push_back(path);
      return sheetkit(args).err;
    };
    const std::string prefix =
        "sheetkit: " + (command[0] == "stats" ? command[0] : command[0] + " " + command[1]) + ": ";
    EXPECT_EQ(told(missing), prefix + missing + ": no such folder" + expected + "\n");
    EXPECT_EQ(told(file), prefix + file + ": a file, not a folder" + expected +
                              " (sheetkit suite make " + file + " -o DIR makes one)\n");
    if (command[1] != "verify") {
      EXPECT_EQ(told(empty), prefix + empty +
                                 ": holds a suite.json but no suite made from it (no "
                                 "manifest.tsv, no class folders)" +
                                 expected + "\n");
    }
  }
}

}  // namespace
}  // namespace sheetkit
