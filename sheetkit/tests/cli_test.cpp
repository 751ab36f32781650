#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sheetgen/version.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "bytes_of.h"
#include "run_sheetkit.h"
#include "test_util.h"

namespace sheetkit {
namespace {

namespace fs = std::filesystem;

const std::string worked_example = SHEETGEN_SOURCE_DIR "/examples/worked_example.txt";

using result = testing::cli_result;
using testing::sheetkit;

// The worked example's files, made by sheetgen in a scratch folder that is
// the current folder during the test.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sheetgen::testing::run_with(testing::bytes_of(worked_example), folder_.path()).status,
              0);
    fs::current_path(folder_.path());
  }
  void TearDown() override { fs::current_path(home_); }

  sheetgen::testing::scratch_folder folder_;

 private:
  fs::path home_ = fs::current_path();
};

// Each command is reached and runs; what each writes is held by its own
// tests and by the manual's replayed examples.
TEST_F(Cli, EveryCommandIsReached) {
  const char* a = worked_example.c_str();
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"check", "--answers", a},
           {"check", "--object", "10x10", "instances.txt", "defects.txt"},
           {"verify", "--answers", a},
           {"stats", "--answers", a},
           {"export", "--answers", a, "--to", "jsonl", "-o", "-"},
           {"draw", "--answers", a, "-o", "pictures"}}) {
    const result r = sheetkit(args);
    EXPECT_EQ(r.status, 0) << args[0] << r.err;
    EXPECT_FALSE(r.out.empty()) << args[0];
    EXPECT_EQ(r.err, "");
  }

  // The version either way, and help that names both.
  const std::string version = std::string("sheetkit ") + sheetgen::version + "\n";
  for (const char* asked : {"--version", "version"}) {
    const result r = sheetkit({asked});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, version) << asked;
  }
  const result help = sheetkit({"--help"});
  EXPECT_NE(help.out.find("--version"), std::string::npos);
  EXPECT_NE(help.out.find("\n  version "), std::string::npos);

  // "help COMMAND" is COMMAND's --help; each command's help says its own
  // part, not the group's overview nor the paragraph on answers files.
  EXPECT_EQ(sheetkit({"help"}).out, help.out);
  EXPECT_EQ(sheetkit({"help", "suite", "make"}).out, sheetkit({"suite", "make", "--help"}).out);
  const std::string overview = sheetkit({"suite", "--help"}).out;
  const std::string make = sheetkit({"suite", "make", "--help"}).out;
  EXPECT_NE(overview.find("report reads a made suite"), std::string::npos);
  EXPECT_NE(make.find("--shard K/N"), std::string::npos);
  for (const char* sub : {"make", "verify", "report", "export", "results"}) {
    const std::string text = sheetkit({"suite", sub, "--help"}).out;
    EXPECT_EQ(text.find("report reads a made suite"), std::string::npos) << sub;
    EXPECT_NE(text.find("Exit status:"), std::string::npos) << sub;
  }
  const std::string version_help = sheetkit({"version", "--help"}).out;
  EXPECT_EQ(version_help.find("answers file"), std::string::npos) << version_help;
  EXPECT_EQ(version_help.find("Exit status"), std::string::npos) << version_help;
}

TEST_F(Cli, DrawTakesOpenRangesAndAll) {
  // Open ranges and "all" take what the run has, without a note; an open
  // range beyond the run is as empty as a closed one.
  for (const char* list : {"all", "1-", "2-,1"}) {
    const result r = sheetkit(
        {"draw", "--answers", worked_example.c_str(), "-o", "p", "--force", "--instances", list});
    EXPECT_EQ(r.out, "p/instance_1.svg\np/instance_2.svg\np/defects.svg\np/items.svg\n") << list;
    EXPECT_EQ(r.err, "") << list;
  }
  EXPECT_EQ(
      sheetkit({"draw", "--answers", worked_example.c_str(), "-o", "q", "--instances", "3-"}).err,
      "sheetkit: draw: --instances 3-: the run has 2 instances; choose among 1-2\n");
}

TEST_F(Cli, WrongCommandLinesAreToldWhatToChange) {
  const char* a = worked_example.c_str();
  folder_.write("bad.answers", "2\n10\n0\n");
  folder_.write("same.answers", "1\n10\n10\n4\n0.1\n0.2\n1\n1 1\nx.txt ./x.txt\n5\n");
  fs::create_directories("full/old");
  struct call {
    std::vector<const char*> args;
    std::string err;
  };
  const std::string object = "--object takes LENGTHxWIDTH INSTANCE_FILE [DEFECT_FILE]";
  const std::string new_folder = "; give a new folder's name with -o\n";
  const call calls[] = {
      {{},
       "sheetkit: give a command: check, stats, draw, export, generate, verify, suite, solution "
       "or version (sheetkit --help says what each does)\n"},
      {{"chek"}, "sheetkit: unknown command \"chek\"; did you mean check?\n"},
      {{"drwa", "-o", "x"}, "sheetkit: unknown command \"drwa\"; did you mean draw?\n"},
      {{"frobnicate"},
       "sheetkit: unknown command \"frobnicate\"; give check, stats, draw, "
       "export, generate, verify, suite, solution or version\n"},
      {{"--verbose", "check"},
       "sheetkit: unknown option --verbose (sheetkit --help lists the "
       "options)\n"},
      // A word nobody took is the cause of what is missing after it.
      {{"check", "--answer", a},
       "sheetkit: check: unknown option --answer; did you mean --answers?\n"},
      {{"check", "--obj=10x10"}, "sheetkit: check: unknown option --obj; did you mean --object?\n"},
      {{"check", "-x"},
       "sheetkit: check: unknown option -x (sheetkit check --help lists the "
       "options)\n"},
      {{"check", "x", "y"},
       "sheetkit: check: unexpected argument \"x\" (sheetkit check --help "
       "lists the options)\n"},
      {{"check", "--object", "10x10", "a", "b", "c"},
       "sheetkit: check: " + object + ", not 4 values\n"},
      {{"check", "--object", "10x10"}, "sheetkit: check: " + object + ", not 1 value\n"},
      {{"check", "--answers"}, "sheetkit: check: --answers needs FILE\n"},
      {{"check", "--answers", a, "--answers", a},
       "sheetkit: check: --answers is given 2 times; give it once\n"},
      {{"check", "--answers", "--object", "10x10", "instances.txt"},
       "sheetkit: check: --answers takes FILE, not the option --object\n"},
      {{"check", "--answers", a, "--object", "10x10", "instances.txt"},
       "sheetkit: check: give --answers or --object, not both\n"},
      {{"check"},
       "sheetkit: check: give --answers FILE, --recipe FILE, or --object LENGTHxWIDTH "
       "INSTANCE_FILE [DEFECT_FILE]\n"},
      {{"check", "--object", "10by10", "instances.txt"},
       "sheetkit: check: --object: expected LENGTHxWIDTH, two positive integers such as "
       "20000x20000, not \"10by10\"\n"},
      {{"export", "--answers", a, "-o", "x"},
       "sheetkit: export: give --to FORMAT: packingsolver, json, jsonl, roadef2018 or 2dpacklib\n"},
      {{"export", "--answers", a, "-o", "x", "--to"},
       "sheetkit: export: --to needs FORMAT: packingsolver, json, jsonl, roadef2018 or "
       "2dpacklib\n"},
      {{"stats", "--answers", a, "--csv"},
       "sheetkit: stats: unknown option --csv; did you mean --format csv?\n"},
      {{"export", "--answers", a, "--to", "jsnol", "-o", "x"},
       "sheetkit: export: --to takes packingsolver, json, jsonl, roadef2018 or 2dpacklib, not "
       "\"jsnol\"; did you mean "
       "jsonl?\n"},
      {{"export", "--answers", a, "--to", "roadef2018", "-o", "r"},
       "sheetkit: export: roadef2018 cannot carry items that must not be turned (the challenge "
       "turns any item); give --drop to write the instances without it\n"},
      {{"export", "--answers", a, "--to", "2dpacklib", "--rotation", "-o", "p"},
       "sheetkit: export: 2dpacklib cannot carry rotation (2DPackLib's items keep their "
       "orientation); give --drop to write the instances without it\n"},
      {{"export", "--answers", a, "--to", "json", "--drop", "-o", "x.json"},
       "sheetkit: export: --drop is for --to roadef2018 and 2dpacklib, which cannot carry "
       "everything\n"},
      {{"export", "--answers", a, "--to", "jsonl", "--cut-type", "exact", "-o", "x.jsonl"},
       "sheetkit: export: the guillotine settings are for --to packingsolver (its "
       "parameters.csv)\n"},
      {{"export", "--answers", a, "--to", "packingsolver", "--cut-type", "exakt", "-o", "y"},
       "sheetkit: export: --cut-type takes non-exact or exact, not \"exakt\"; did you mean "
       "exact?\n"},
      {{"stats", "--answers", a, "--copies", "0"},
       "sheetkit: stats: --copies takes a positive number or unlimited, not \"0\"\n"},
      {{"stats", "--answers", a, "--format", "csv", "--rotation"},
       "sheetkit: stats: --copies and --rotation are for the bounds of a single run in --format "
       "text or json\n"},
      {{"export", "--answers", a, "--to", "jsonl", "-o", "x.json"},
       "sheetkit: export: --to jsonl writes a .jsonl file, not x.json; give --to json or a name "
       "ending in .jsonl\n"},
      {{"draw", "--answers", a}, "sheetkit: draw: give -o DIR\n"},
      {{"draw", "--answers", a, "-o", "p", "--instances", "0-3"},
       "sheetkit: draw: --instances: expected numbers and ranges such as 1-4,7 or 5-, or all, not "
       "\"0-3\"\n"},
      {{"draw", "--answers", a, "-o", "p", "--instances", "3-4"},
       "sheetkit: draw: --instances 3-4: the run has 2 instances; choose among 1-2\n"},
      {{"version", "x"},
       "sheetkit: version: unexpected argument \"x\" (sheetkit version --help "
       "lists the options)\n"},
      // One rule for every folder a command writes.
      {{"draw", "--answers", a, "-o", ""}, "sheetkit: draw: -o needs a folder's name, not \"\"\n"},
      {{"export", "--answers", a, "--to", "packingsolver", "-o", ""},
       "sheetkit: export: -o needs a folder's name, not \"\"\n"},
      {{"export", "--answers", a, "--to", "json", "-o", ""},
       "sheetkit: export: -o needs a folder's name, not \"\"\n"},
      {{"draw", "--answers", a, "-o", "-"},
       "sheetkit: draw: -o - (standard output) is only for export --to json or jsonl" + new_folder},
      {{"export", "--answers", a, "--to", "packingsolver", "-o", "-"},
       "sheetkit: export: -o - (standard output) is only for export --to json or jsonl" +
           new_folder},
      {{"draw", "--answers", a, "-o", "instances.txt"},
       "sheetkit: draw: instances.txt is a file, not a folder" + new_folder},
      {{"export", "--answers", a, "--to", "json", "-o", "instances.txt/out"},
       "sheetkit: export: instances.txt/out: instances.txt is a file, not a folder" + new_folder},
      {{"draw", "--answers", a, "-o", "full"},
       "sheetkit: draw: full is not empty; give a new folder's name with -o, or add --force to "
       "replace full whole\n"},
      {{"draw", "--answers", a, "-o", ".", "--force"},
       "sheetkit: draw: . is the current folder or one above it, which is never replaced" +
           new_folder},
      {{"export", "--answers", a, "--to", "json", "-o", "..", "--force"},
       "sheetkit: export: .. is the current folder or one above it, which is never replaced" +
           new_folder},
      {{"stats", "--answers", "nowhere.answers"},
       "sheetkit: stats: nowhere.answers: cannot be read: No such file or directory\n"},
      {{"verify", "--answers", "bad.answers"},
       "sheetkit: verify: bad.answers:3: the object's width: The large object's length and "
       "width must be positive and their product must not exceed 2147483647!\n"},
      // Names that do not exist yet, one file: the dialogue refuses them.
      {{"check", "--answers", "same.answers"},
       "sheetkit: check: same.answers:9: the defect file name: The defect file must differ from "
       "the instance file!\n"},
  };
  for (const call& c : calls) {
    const result r = sheetkit(c.args);
    EXPECT_EQ(r.status, 2) << (c.args.empty() ? "" : c.args[0]) << " " << r.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  // Nothing was written by any of them.
  EXPECT_FALSE(fs::exists("p"));
  EXPECT_FALSE(fs::exists("x"));
  EXPECT_TRUE(fs::is_directory("full/old"));

  // --force never deletes what the command reads.
  fs::create_directories("inputs");
  fs::copy_file(worked_example, "inputs/run.answers");
  const result r = sheetkit({"draw", "--answers", "inputs/run.answers", "-o", "inputs", "--force"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "sheetkit: draw: --force would delete inputs/run.answers, which this command reads, "
            "with inputs" +
                new_folder);
  const result files =
      sheetkit({"draw", "--object", "10x10", "./instances.txt", "-o", ".", "--force"});
  EXPECT_EQ(files.status, 2);
}

// The paper table's columns for a single run, and what does not go with them.
TEST_F(Cli, StatsFormats) {
  const char* a = worked_example.c_str();
  const result csv = sheetkit({"stats", "--answers", a, "--format", "csv"});
  EXPECT_EQ(csv.status, 0) << csv.err;
  // One row under the header, named after the instance file; the figures
  // are the paper table's, held by its own tests.
  const std::string header = csv.out.substr(0, csv.out.find('\n'));
  const std::string row = csv.out.substr(header.size() + 1);
  EXPECT_EQ(header.substr(0, 4), "run,");
  EXPECT_EQ(row.substr(0, 14), "instances.txt,");
  EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
  EXPECT_EQ(std::count(row.begin(), row.end(), '\n'), 1);
  EXPECT_EQ(sheetkit({"stats", "--answers", a, "--format", "json"}).out,
            sheetkit({"stats", "--answers", a, "--json"}).out);
  EXPECT_NE(sheetkit({"stats", "--object", "10x10", "instances.txt", "--format", "latex"})
                .out.find("\nrun & sets & instances"),
            std::string::npos);
  // Columns by the CSV's names, the name column first whatever the order.
  EXPECT_NE(
      sheetkit({"stats", "--answers", a, "--format", "latex", "--columns",
                "object,run,item_area_relative_q1"})
          .out.find("\nrun & object & q1 \\\\\n\\midrule\ninstances.txt & $10 \\times 10$ & 14.0 "),
      std::string::npos);

  const std::string prefix = "sheetkit: stats: ";
  for (const auto& [args, err] : std::vector<std::pair<std::vector<const char*>, std::string>>{
           {{"--format", "latx"},
            "--format takes text, json, csv or latex, not \"latx\"; did you mean latex?"},
           {{"--json", "--format", "csv"},
            "--json is --format json; give one of them, not --format csv"},
           {{"--per-instance", "--format", "latex"},
            "--per-instance is for a single run in --format text or json; a table has a row per "
            "class or run"},
           {{"--suite", "."},
            "--suite DIR takes the runs of the suite; leave out --answers and --object"},
           {{"--format", "latex", "--columns", "sets,item_type"},
            "--columns: no column is named \"item_type\"; did you mean "
            "item_types_per_instance_mean?"},
           {{"--format", "latex", "--columns", "sets,,lower"},
            "--columns takes names separated by commas, not \"sets,,lower\""},
           {{"--format", "latex", "--columns", "all,sets"}, "--columns names sets twice"},
           {{"--format", "csv", "--columns", "sets"},
            "--columns chooses what people see (text and latex); csv and json keep every column"},
           {{"--columns", "sets"},
            "--columns is for the paper table: --suite DIR, or --format latex for a run"}}) {
    std::vector<const char*> full{"stats", "--answers", a};
    full.insert(full.end(), args.begin(), args.end());
    const result r = sheetkit(full);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, prefix + err + "\n");
  }
}

TEST_F(Cli, FailuresHaveStatusOneAndSaySo) {
  const char* a = worked_example.c_str();
  const result missing = sheetkit({"stats", "--object", "10x10", "nowhere.txt"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err,
            "sheetkit: stats: nowhere.txt: cannot be read: No such file or directory\n");
  const result wrong = sheetkit({"draw", "--object", "10x10", "defects.txt", "-o", "p"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err,
            "sheetkit: draw: defects.txt:1: expected 3 numbers separated by tabs, found 4: "
            "\"7.000000\\t0.000000\\t10.000000\\t2.000000\"\n");
  EXPECT_FALSE(fs::exists("p"));  // nor any half of it
  EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 2);

  // Whatever was asked for, a report that never arrived is no success.
  for (const std::vector<const char*>& args :
       std::vector<std::vector<const char*>>{{"sheetkit", "stats", "--answers", a},
                                             {"sheetkit", "--help"},
                                             {"sheetkit", "--version"}}) {
    std::ostream nowhere(nullptr);  // every write fails, as on a full disk
    std::ostringstream err;
    EXPECT_EQ(sheetkit_main(static_cast<int>(args.size()), args.data(), nowhere, err), 1);
    EXPECT_EQ(err.str(), std::string("sheetkit: ") + (args.size() > 2 ? "stats: " : "") +
                             "cannot write to standard output\n");
  }

  // Problems found are status 1, and go to standard output.
  folder_.write("defects.txt", "\n");
  const result check = sheetkit({"check", "--answers", a});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out.substr(0, 22), "defects.txt:1: block 1");
  EXPECT_EQ(sheetkit({"verify", "--answers", a}).status, 1);
}

// With --answers, what reads the files holds them to the answers and
// stops at the first difference, as check reports it, writing nothing.
TEST_F(Cli, WithTheAnswersTheFilesAreHeldToThem) {
  const char* a = worked_example.c_str();
  const std::string instances = folder_.read("instances.txt");
  const std::string defects = folder_.read("defects.txt");
  const std::vector<std::vector<const char*>> readers = {
      {"stats", "--answers", a},
      {"stats", "--answers", a, "--per-instance"},
      {"stats", "--answers", a, "--format", "csv"},
      {"draw", "--answers", a, "-o", "p"},
      {"export", "--answers", a, "--to", "json", "-o", "p"},
      {"export", "--answers", a, "--to", "packingsolver", "-o", "p"}};
  const auto held = [&](const std::string& what) {
    for (const std::vector<const char*>& args : readers) {
      const result r = sheetkit(args);
      EXPECT_EQ(r.status, 1) << args[0] << " " << args.back();
      EXPECT_EQ(r.err, "sheetkit: " + std::string(args[0]) + ": " + what + "\n") << args.back();
      EXPECT_FALSE(fs::exists("p"));
    }
    const result check = sheetkit({"check", "--answers", a});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find(what), std::string::npos) << check.out;
  };
  // Block 2 loses an item type (README's sed -i '8d').
  std::string fewer_items = instances;
  const std::size_t line_8 = [&] {
    std::size_t at = 0;
    for (int k = 1; k < 8; ++k) at = fewer_items.find('\n', at) + 1;
    return at;
  }();
  fewer_items.erase(line_8, fewer_items.find('\n', line_8) + 1 - line_8);
  folder_.write("instances.txt", fewer_items);
  held("instances.txt:6: block 2 has 3 item types, but the answers ask for 4");
  // One instance of the two.
  folder_.write("instances.txt", instances.substr(0, instances.find("\n\n") + 2));
  folder_.write("defects.txt", defects.substr(0, defects.find("\n\n") + 2));
  held("instances.txt:6: file ends after 1 block, but the answers ask for 2 instances: cut short?");
  // A defect of another size than the answers give, in place.
  folder_.write("instances.txt", instances);
  std::string wider = defects;
  wider.replace(0, wider.find('\n'), "7.000000\t0.000000\t10.000000\t3.000000");
  folder_.write("defects.txt", wider);
  held("defects.txt:1: defect 1 measures 3 x 3, but the answers give 3 x 2");
}

// Errors go to standard error, named by the command, with the system's
// reason; a file that the answers file names says how such names are read.
TEST_F(Cli, ErrorsSayWhyAndWhereNamesAreTaken) {
  const std::string a = worked_example;
  const std::string relative =
      " (the answers file's names are taken relative to the current folder, not to the answers "
      "file)";
  fs::create_directories("elsewhere");
  fs::current_path("elsewhere");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"check", "--answers", a},
           {"verify", "--answers", a},
           {"stats", "--answers", a},
           {"draw", "--answers", a, "-o", "p"},
           {"export", "--answers", a, "--to", "json", "-o", "-"}}) {
    const result r = sheetkit(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
    EXPECT_EQ(r.err, "sheetkit: " + args[0] +
                         ": instances.txt: cannot be read: No such file or directory" + relative +
                         "\n");
  }
  fs::current_path("..");
  // Named on the command line, a name needs no note.
  EXPECT_EQ(sheetkit({"check", "--object", "10x10", "nowhere.txt"}).err,
            "sheetkit: check: nowhere.txt: cannot be read: No such file or directory\n");
  // Without its defect file, the instances are still checked.
  fs::remove("defects.txt");
  const result check = sheetkit({"check", "--answers", a});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.err, "sheetkit: check: defects.txt: cannot be read: No such file or directory" +
                           relative + "\n");
  EXPECT_EQ(check.out, "instances.txt: 2 instances, 8 item types; no problems found\n");
}

// --force replaces a folder only when every file in it is one that
// sheetkit writes there, as its .sheetkit file lists them.
TEST_F(Cli, ForceReplacesOnlyWhatSheetkitWrote) {
  const char* a = worked_example.c_str();
  fs::create_directories("docs");
  folder_.write("docs/worked_example_instance_1.svg", "mine");
  folder_.write("docs/suite_report.png", "mine");
  const result docs = sheetkit({"draw", "--answers", a, "-o", "docs", "--force"});
  EXPECT_EQ(docs.status, 2);
  EXPECT_EQ(docs.err,
            "sheetkit: draw: --force replaces only a folder of the files sheetkit writes, and "
            "docs/suite_report.png is not one of them; give a new folder's name with -o\n");
  EXPECT_EQ(folder_.read("docs/suite_report.png"), "mine");

  // What sheetkit wrote, by any command, it replaces; not once a file is added.
  ASSERT_EQ(sheetkit({"export", "--answers", a, "--to", "packingsolver", "-o", "p"}).status, 0);
  ASSERT_EQ(sheetkit({"draw", "--answers", a, "-o", "p", "--force"}).status, 0);
  ASSERT_EQ(sheetkit({"export", "--answers", a, "--to", "jsonl", "-o", "p", "--force"}).status, 0);
  ASSERT_EQ(
      sheetkit({"export", "--answers", a, "--to", "packingsolver", "-o", "p", "--force"}).status,
      0);
  folder_.write("p/instance_2/notes.txt", "mine");
  const result added = sheetkit({"draw", "--answers", a, "-o", "p", "--force"});
  EXPECT_EQ(added.status, 2);
  EXPECT_NE(added.err.find("p/instance_2/notes.txt is not one of them"), std::string::npos);
  EXPECT_EQ(folder_.read("p/instance_2/notes.txt"), "mine");
}

// Each run's output replaces the last whole: nothing stale stays beside
// it, nothing is written through a link in it, and a run that fails
// leaves the earlier one as it was.
TEST_F(Cli, AFolderIsReplacedWholeOrNotAtAll) {
  const char* a = worked_example.c_str();
  ASSERT_EQ(sheetkit({"draw", "--answers", a, "-o", "p", "--instances", "1-2"}).status, 0);
  folder_.write("secret", "keep");
  fs::remove("p/instance_1.svg");
  fs::create_symlink(folder_ / "secret", "p/instance_1.svg");

  const result one = sheetkit({"draw", "--answers", a, "-o", "p", "--instances", "1", "--force"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(folder_.read("secret"), "keep");
  EXPECT_FALSE(fs::is_symlink("p/instance_1.svg"));
  EXPECT_FALSE(fs::exists("p/instance_2.svg"));                  // the earlier run's
  EXPECT_EQ(std::distance(fs::directory_iterator("p"), {}), 4);  // and its .sheetkit

  // A run that fails on the way (the defect file cut short) changes nothing.
  const std::string pictures = folder_.read("p/instance_1.svg");
  const std::string defects = folder_.read("defects.txt");
  folder_.write("defects.txt", defects.substr(0, 40));
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"draw", "--answers", a, "-o", "p", "--force"},
           {"export", "--answers", a, "--to", "packingsolver", "-o", "p", "--force"},
           {"export", "--answers", a, "--to", "jsonl", "-o", "p", "--force"}}) {
    EXPECT_EQ(sheetkit(args).status, 1) << args[0];
    EXPECT_EQ(folder_.read("p/instance_1.svg"), pictures);
    EXPECT_EQ(std::distance(fs::directory_iterator("p"), {}), 4);
  }
  // Nothing left beside it either.
  EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 4);

  // A run without instances exports an empty folder, and says so.
  folder_.write("none.answers", "0\n10\n10\n4\n0.1\n0.2\n0\nnone.txt\n1\n0\n");
  ASSERT_EQ(sheetgen::testing::run_with(folder_.read("none.answers"), folder_.path()).status, 0);
  EXPECT_EQ(
      sheetkit({"export", "--answers", "none.answers", "--to", "packingsolver", "-o", "n"}).out,
      "n (0 instances)\n");
  EXPECT_EQ(std::distance(fs::directory_iterator("n"), {}), 1);  // its .sheetkit alone

  // An empty folder is written into without --force; a link to one stands for it.
  folder_.write("defects.txt", defects);
  fs::create_directories("empty");
  fs::create_directory_symlink("empty", "to_empty");
  EXPECT_EQ(sheetkit({"export", "--answers", a, "--to", "json", "-o", "to_empty"}).status, 0);
  EXPECT_TRUE(fs::is_symlink("to_empty"));
  EXPECT_TRUE(fs::is_regular_file("empty/run.json"));
}

// A command group, as a table entry with its own commands.
int group_work(const run_info&, session& s) {
  s.out << "made\n";
  return status_ok;
}

std::function<prepared()> setup_make(CLI::App& app) {
  static std::string size;
  app.add_option("--size", size, "")->type_name("N")->required();
  return [] { return prepared{run_info{}, group_work}; };
}

// An option that several commands take says the same mistake in the same
// words in each, after the command's own prefix; choices suggest the
// nearest everywhere. Each is refused before anything is read or written.
TEST_F(Cli, SharedOptionsSayTheSameMistakeTheSameWay) {
  const std::string a = worked_example;
  using words = std::vector<std::string>;
  struct command {
    std::string name;  // as the prefix says it
    words args;
  };
  const command stats{"stats", {"stats", "--answers", a}};
  const command run_export{"export",
                           {"export", "--answers", a, "--to", "packingsolver", "-o", "x"}};
  const command check{"solution check", {"solution", "check", "--answers", a, "s.csv"}};
  const command draw{"solution draw", {"solution", "draw", "--answers", a, "s.csv", "-o", "p"}};
  const command make{"suite make", {"suite", "make", "nosuite.json", "-o", "s"}};
  const command verify{"suite verify", {"suite", "verify", "nosuite"}};
  const command report{"suite report", {"suite", "report", "nosuite"}};
  const command suite_export{"suite export",
                             {"suite", "export", "nosuite", "--to", "packingsolver", "-o", "x"}};
  const command results{"suite results", {"suite", "results", "nosuite", "x"}};
  struct mistake {
    words given;
    std::string said;
    std::vector<command> in;
  };
  const std::vector<mistake> mistakes = {
      {{"--copies", "q"},
       "--copies takes a positive number or unlimited, not \"q\"",
       {stats, run_export, check, suite_export}},
      {{"--copies", "0"},
       "--copies takes a positive number or unlimited, not \"0\"",
       {stats, run_export, check, suite_export}},
      {{"-j", "0"},
       "-j takes a whole number from 1 to 256, not \"0\"",
       {make, verify, report, suite_export, results}},
      {{"--jobs", "many"},
       "-j takes a whole number from 1 to 256, not \"many\"",
       {make, verify, report, suite_export, results}},
      {{"--cut-type", "exct"},
       "--cut-type takes non-exact or exact, not \"exct\"; did you mean exact?",
       {run_export, check, draw, results}},
      {{"--first-stage-orientation", "vertcal"},
       "--first-stage-orientation takes vertical, horizontal or any, not \"vertcal\"; did you "
       "mean vertical?",
       {run_export, check, draw, results}},
      {{"--number-of-stages", "0"},
       "--number-of-stages takes a whole number from 1 to 1000, not \"0\"",
       {run_export, check, draw, results}},
      {{"--cut-thickness", "-1"},
       "--cut-thickness takes a whole number of 0 or more, not \"-1\"",
       {run_export, check, draw, results}},
      {{"--minimum-waste-length", "1.5"},
       "--minimum-waste-length takes a whole number of 0 or more, not \"1.5\"",
       {run_export, check, draw, results}},
  };
  for (const mistake& m : mistakes) {
    for (const command& c : m.in) {
      words args = c.args;
      args.insert(args.end(), m.given.begin(), m.given.end());
      const result r = sheetkit(args);
      EXPECT_EQ(r.status, 2) << c.name << " " << m.given[0];
      EXPECT_EQ(r.err, "sheetkit: " + c.name + ": " + m.said + "\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_FALSE(fs::exists("x"));
  EXPECT_FALSE(fs::exists("s"));

  // --to, --format: the command's choices, the nearest suggested.
  EXPECT_EQ(sheetkit({"suite", "export", "nosuite", "--to", "jsn", "-o", "x"}).err,
            "sheetkit: suite export: --to takes packingsolver, json, jsonl, roadef2018 or "
            "2dpacklib, not \"jsn\"; did you mean json?\n");
  EXPECT_EQ(sheetkit({"export", "--answers", a, "--to", "jsn", "-o", "x"}).err,
            "sheetkit: export: --to takes packingsolver, json, jsonl, roadef2018 or "
            "2dpacklib, not \"jsn\"; did you mean json?\n");
  EXPECT_EQ(sheetkit({"suite", "results", "nosuite", "x", "--format", "htm"}).err,
            "sheetkit: suite results: --format takes text, csv, latex, json or html, not "
            "\"htm\"; did you mean html?\n");
  EXPECT_EQ(sheetkit({"solution", "check", "--answers", a, "s.csv", "--format", "cvs"}).err,
            "sheetkit: solution check: --format takes text, json or csv, not \"cvs\"; did you "
            "mean csv?\n");
  // A choice given as an option of its own.
  EXPECT_EQ(sheetkit({"suite", "results", "nosuite", "x", "--exact"}).err,
            "sheetkit: suite results: unknown option --exact; did you mean --cut-type exact?\n");
}

TEST(CliTable, AGroupOfCommandsIsOneEntry) {
  static const command group[] = {{"make", "Makes", "", setup_make},
                                  {"report", "Reports", "", setup_make}};
  static const command table[] = {{"suite", "A group", "", nullptr, group}};
  const auto run = [](std::vector<const char*> args) {
    args.insert(args.begin(), "sheetkit");
    std::ostringstream out, err;
    const int status = sheetkit_main(table, static_cast<int>(args.size()), args.data(), out, err);
    return result{status, out.str(), err.str()};
  };
  const result made = run({"suite", "make", "--size", "3"});
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.out, "made\n");
  EXPECT_EQ(run({"suite", "mak"}).err,
            "sheetkit: suite: unknown command \"mak\"; did you mean make?\n");
  EXPECT_EQ(run({"suite"}).err,
            "sheetkit: suite: give a command: make or report (sheetkit suite "
            "--help says what each does)\n");
  EXPECT_EQ(run({"suite", "make"}).err, "sheetkit: suite make: give --size N\n");
  EXPECT_EQ(run({"suite", "make", "--siz", "3"}).err,
            "sheetkit: suite make: unknown option --siz; did you mean --size?\n");
}

}  // namespace
}  // namespace sheetkit
