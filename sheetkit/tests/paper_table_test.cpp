#include "figures/paper_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/markup.h"

namespace sheetkit {
namespace {

// A class with figures, one with a name that every format must escape,
// and one whose runs all aborted (no figures).
paper_table sample() {
  table_row a;
  a.name = "worked";
  a.sets = 3;
  a.instances = 6;
  a.length = a.width = 10;
  a.lower = "0.1";
  a.upper = "0.2";
  a.items = 24;
  a.item_types = 4;
  a.item_length = {2, 0, 3, 0, 8};
  a.item_width = {2, 0, 5, 0, 9};
  a.item_area = {10, 14, 15, 16, 18};
  a.total_area_mean = 0.605;
  a.total_area_sd = 0.005;
  a.distinct_mean = 3.5;
  a.defects = 2;
  a.defect_area_mean = 0.16;
  a.covered_mean = 0.15;
  table_row b = a;
  b.name = "a_b,\"c\"&<d>%";
  b.item_area = {1, 1, 2, 3, 4};
  table_row c;
  c.name = "aborted";
  c.length = 10;
  c.width = 10;
  return {true, {a, b, c}};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(PaperTable, TextLinesUpAndShowsWhatIsMissing) {
  std::ostringstream out;
  write_table_text(out, sample());
  const std::vector<std::string> lines = lines_of(out.str());
  // Headings and rows end in the same column; numbers are right-aligned.
  const std::size_t width = code_points(lines[1]);
  for (std::size_t i = 2; i <= 4; ++i) EXPECT_EQ(code_points(lines[i]), width) << lines[i];
  EXPECT_EQ(lines[2].substr(0, 41), "worked           3          6           4");
  // A group's columns share their decimals, enough for two digits of the
  // smallest value: 1% takes one, 0.50% two.
  EXPECT_NE(lines[2].find("  10.0  14.0    15.0  16.0  18.0  "), std::string::npos);
  EXPECT_NE(lines[3].find("   1.0   1.0     2.0   3.0   4.0  "), std::string::npos);
  EXPECT_NE(lines[2].find("  60.50      0.50  "), std::string::npos);
  EXPECT_NE(lines[2].find("  3.50  "), std::string::npos);  // a mean that is not whole
  EXPECT_NE(lines[2].find("   2  "), std::string::npos);    // one that is
  // A class without completed runs: only what its definition gives.
  EXPECT_EQ(lines[4].substr(0, 57), "aborted          0          0           -  10 x 10      -");
  EXPECT_EQ(lines[4].find_first_of("123456789", 57), std::string::npos);
}

TEST(PaperTable, CsvAndJsonForScripts) {
  std::ostringstream out;
  write_table_csv(out, sample());
  const std::vector<std::string> lines = lines_of(out.str());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 81),
            "class,sets,instances_total,item_types_per_instance_mean,length,width,lower,upper,");
  EXPECT_EQ(lines[1],
            "worked,3,6,4,10,10,0.1,0.2,2,3,8,2,5,9,0.1,0.14,0.15,0.16,0.18,0.605,0.005,3.5,2,"
            "0.16,0.15");
  EXPECT_EQ(lines[2].substr(0, 19), "\"a_b,\"\"c\"\"&<d>%\",3,");
  EXPECT_EQ(lines[3], "aborted,0,0,,10,10,,,,,,,,,,,,,,,,,,,");

  const nlohmann::ordered_json j = table_json(sample(), {{"suite", "s"}});
  EXPECT_EQ(j.begin().key(), "format_version");
  EXPECT_EQ(j["suite"], "s");
  EXPECT_EQ(j["rows"][0]["item_types_per_instance_mean"].dump(), "4");  // whole means stay whole
  EXPECT_EQ(j["rows"][0]["item_area_relative_q1"], 0.14);
  EXPECT_TRUE(j["rows"][2]["item_length_median"].is_null());
  EXPECT_TRUE(j["rows"][2]["lower"].is_null());
  EXPECT_EQ(j["rows"][1]["class"], "a_b,\"c\"&<d>%");
}

TEST(PaperTable, LatexAndHtmlEscapeNames) {
  EXPECT_EQ(latex_escape("a_b&c%d$e#f{g}h~i^j\\k"),
            "a\\_b\\&c\\%d\\$e\\#f\\{g\\}h\\textasciitilde{}i\\textasciicircum{}j"
            "\\textbackslash{}k");
  std::ostringstream latex;
  write_table_latex(latex, sample());
  EXPECT_NE(latex.str().find("\na\\_b,\"c\"\\&<d>\\% & 3 & 6 & 4 & $10 \\times 10$ & 0.1 & 0.2 & "
                             "2 & 60.50 & 15.0 \\\\\n"),
            std::string::npos)
      << latex.str();
  EXPECT_NE(latex.str().find("\naborted & 0 & 0 & -- & $10 \\times 10$ & -- & -- & -- & -- & --"),
            std::string::npos);

  const std::string html = table_html(sample());
  EXPECT_NE(html.find("<th scope=\"row\" class=\"name\">a_b,&quot;c&quot;&amp;&lt;d&gt;%</th>"),
            std::string::npos);
  EXPECT_EQ(html.find("<d>"), std::string::npos);
}

// People choose columns by the CSV's names, in their order; a group keeps
// its heading over the columns chosen from it, and the notes explain only
// what is shown.
TEST(PaperTable, ChosenColumns) {
  std::ostringstream text;
  write_table_text(text, sample(),
                   {"item_area_relative_median", "object", "item_types_per_instance_mean"});
  const std::vector<std::string> lines = lines_of(text.str());
  EXPECT_EQ(lines[0], "              item area (%)");
  EXPECT_EQ(lines[1], "class                median   object  item types");
  EXPECT_EQ(lines[2], "worked                 15.0  10 x 10           4");
  EXPECT_EQ(lines[4], "aborted                   -  10 x 10           -");
  EXPECT_EQ(text.str().find("sd:"), std::string::npos);
  EXPECT_NE(text.str().find("quantiles"), std::string::npos);

  std::ostringstream latex;
  write_table_latex(latex, sample(), {"lower", "total_item_area_relative_per_instance_sd"});
  EXPECT_NE(
      latex.str().find("\\begin{tabular}{@{}lrr@{}}\n\\toprule\n"
                       " & \\multicolumn{1}{c}{bounds} & \\multicolumn{1}{c}{"
                       "\\begin{tabular}[b]{@{}c@{}}total item\\\\area (\\%)\\end{tabular}} \\\\\n"
                       "\\cmidrule(lr){2-2}\\cmidrule(lr){3-3}\nclass & lower & sd \\\\\n"),
      std::string::npos)
      << latex.str();
  EXPECT_THROW(write_table_text(text, sample(), {"item_types"}), std::invalid_argument);
}

// A figure has the same digits whichever columns stand beside it: its
// group's decimals come from the whole group, shown or not.
TEST(PaperTable, ChosenColumnsKeepTheirDigits) {
  paper_table t = sample();
  t.rows[1].item_area = {1, 1, 20, 30, 40};  // its smallest, 1 %, asks for a decimal
  std::ostringstream all, one;
  write_table_text(all, t);
  write_table_text(one, t, {"item_area_relative_median"});
  EXPECT_NE(lines_of(all.str())[2].find("  15.0  "), std::string::npos) << all.str();
  EXPECT_EQ(lines_of(one.str())[2], "worked                 15.0") << one.str();
  EXPECT_EQ(lines_of(one.str())[3].substr(lines_of(one.str())[3].size() - 4), "20.0");
}

}  // namespace
}  // namespace sheetkit
