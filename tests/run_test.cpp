#include <gtest/gtest.h>
#include <sheetgen/run.h>

#include <algorithm>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "test_util.h"

namespace sheetgen {
namespace {

using testing::answers;
using testing::line;
using testing::run_with;
using testing::scratch_folder;

const std::string worked_instances = testing::worked::instance_file_text();

answers worked_example() {
  answers a;
  a.defects = testing::worked::defect_sizes();
  return a;
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Run, WorkedExampleTranscriptAndInstanceFile) {
  scratch_folder dir;
  const auto result = run_with(worked_example().text(), dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(dir.read("instances.txt"), worked_instances);
  EXPECT_EQ(
      result.console,
      "This program generates problem instances of a two-dimensional rectangular Single Large "
      "Object Placement Problem with defects. \nAll dimensions of the generated item types are "
      "integer, thus the dimensions of the large object and the defects should also be entered as "
      "integer numbers. For more details see: the file README.md that comes with this program, "
      "which describes the dialogue and both file formats. \n \n"
      "How many instances do you want to generate? "
      "Choose an integer length for the large object. "
      "Choose an integer width for the large object. "
      "How many small items are to be generated per instance? "
      "Choose a lower bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.01). "
      "Choose an upper bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.15). "
      "How many defects per instance do you wish to generate? (NOTE: The defects might overlap, "
      "as the intention is to consider each defect as a single one and go through them one after "
      "the other!) "
      "Enter an positive integer length and width for defect no. 1, separated by a space. "
      "Enter an positive integer length and width for defect no. 2, separated by a space. "
      "Enter a name for the file to hold the instances (e.g. instances.txt). "
      "Enter a name for the file to hold the defects (e.g. defects.txt). "
      "Enter an integer seed (e.g. 12): "
      "\n\nProgram run finished. Enter a number to quit! ");
}

TEST(Run, AnswersMayShareLinesAndEndInCarriageReturns) {
  scratch_folder dir;
  const auto one_line =
      run_with("2 10 10 4 0.1 0.2 2 3 2 10 1 instances.txt defects.txt 19 0", dir.path());
  EXPECT_EQ(one_line.status, 0);
  EXPECT_EQ(dir.read("instances.txt"), worked_instances);

  scratch_folder crlf;
  std::string text;
  for (char c : worked_example().text()) {
    if (c == '\n') text += '\r';
    text += c;
  }
  EXPECT_EQ(run_with(text, crlf.path()).status, 0);
  EXPECT_EQ(crlf.read("instances.txt"), worked_instances);
}

TEST(Run, ClosingAnswerIsDiscardedWhateverItIs) {
  for (const char* last : {"", "quit", "99999999999999"}) {
    scratch_folder dir;
    std::string text = answers().text();
    text.replace(text.size() - 2, 2, last);
    const auto result = run_with(text, dir.path());
    EXPECT_EQ(result.status, 0) << last;
    EXPECT_TRUE(ends_with(result.console, "Enter a number to quit! "));
  }
}

TEST(Run, NoInstancesGiveAnEmptyFile) {
  for (int instances : {0, -3}) {
    scratch_folder dir;
    answers a;
    a.instances = instances;
    EXPECT_EQ(run_with(a.text(), dir.path()).status, 0);
    EXPECT_TRUE(dir.has("instances.txt"));
    EXPECT_EQ(dir.read("instances.txt"), "");
  }
}

TEST(Run, NoDefectsMeansNoDefectQuestions) {
  scratch_folder dir;
  answers a;
  a.defects = {};
  const auto result = run_with(a.text(), dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console.find("defect no."), std::string::npos);
  EXPECT_EQ(result.console.find("file to hold the defects"), std::string::npos);
  // A negative count asks nothing either.
  scratch_folder neg;
  EXPECT_EQ(run_with("1 10 10 2 0.1 0.2 -4 out.txt 7 0", neg.path()).status, 0);
  const std::string written = neg.read("out.txt");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
}

TEST(Run, CapacityLimitsAreInclusive) {
  scratch_folder dir;
  answers a;
  a.instances = 20000;
  a.items = 0;
  EXPECT_EQ(run_with(a.text(), dir.path()).status, 0);
  EXPECT_EQ(dir.read("instances.txt"), std::string(20000, '\n'));

  answers many;
  many.instances = 1;
  many.items = 20000;
  many.minrel = "0.01";
  many.maxrel = "0.5";
  many.length = many.width = 1000;
  many.defects.assign(1000, {1, 1});
  EXPECT_EQ(run_with(many.text(), dir.path()).status, 0);
  const std::string instances = dir.read("instances.txt");
  EXPECT_EQ(std::count(instances.begin(), instances.end(), '\n'), 20001);
}

// A run that stops in the dialogue prints the message right after the
// question it answers, reads one more answer and writes no file. The
// plain kinds of bad answer to every question follow in a matrix below.
struct abort_case {
  const char* name;
  std::string input;
  const char* last_prompt;
  const char* message;
};

void PrintTo(const abort_case& c, std::ostream* os) { *os << c.name; }

class DialogueAbort : public ::testing::TestWithParam<abort_case> {};

TEST_P(DialogueAbort, StopsAtOnceAndLeavesFilesAlone) {
  const abort_case& c = GetParam();
  scratch_folder dir;
  dir.write("instances.txt", "old instances");
  dir.write("defects.txt", "old defects");
  const auto result = run_with(c.input, dir.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(ends_with(result.console, std::string(c.last_prompt) + c.message)) << result.console;
  EXPECT_EQ(dir.read("instances.txt"), "old instances");
  EXPECT_EQ(dir.read("defects.txt"), "old defects");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            2);
}

const char* const instances_q = "How many instances do you want to generate? ";
const char* const length_q = "Choose an integer length for the large object. ";
const char* const width_q = "Choose an integer width for the large object. ";
const char* const items_q = "How many small items are to be generated per instance? ";
const char* const minrel_q = "object between 0 and 1 (e.g. 0.01). ";
const char* const maxrel_q = "object between 0 and 1 (e.g. 0.15). ";
const char* const defects_q = "one after the other!) ";
const char* const defect1_q = "for defect no. 1, separated by a space. ";
const char* const file_q = "Enter a name for the file to hold the instances (e.g. instances.txt). ";
const char* const defectfile_q =
    "Enter a name for the file to hold the defects (e.g. defects.txt). ";

const char* const maxmod = "Please recompile code with larger MAXMOD value!\n";
const char* const not_number = "Input is not a valid number!";
const char* const between = "Value must lie between 0 and 1!";
const char* const bad_object =
    "The large object's length and width must be positive and their product must not exceed "
    "2147483647!";
const char* const too_long = "File name too long (at most 79 characters)!";

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogueAbort,
    ::testing::Values(
        abort_case{"MaxmodInstances", "20001 10 10", instances_q, maxmod},
        abort_case{"MaxmodItems", "1 10 10 20001", items_q, maxmod},
        abort_case{"MaxdefDefects", "1 10 10 4 0.1 0.2 1001", defects_q,
                   "Please recompile code with larger MAXDEF value!\n"},
        abort_case{"TrailingLetters", "2x", instances_q, not_number},
        abort_case{"DecimalForInteger", "2.5", instances_q, not_number},
        abort_case{"BelowInt32", "1 -2147483649", length_q, not_number},
        abort_case{"AreaBeyondInt32", "1 65536 32768", width_q, bad_object},
        abort_case{"MinRelOne", "1 10 10 4 1 0.2", minrel_q, between},
        abort_case{"MinRelNaN", "1 10 10 4 nan 0.2", minrel_q, between},
        abort_case{"MinRelInf", "1 10 10 4 inf 0.2", minrel_q, between},
        abort_case{"MinRelHuge", "1 10 10 4 1e99 0.2", minrel_q, between},
        abort_case{"MaxRelNaN", "1 10 10 4 0.1 NaN", maxrel_q, between},
        abort_case{"BoundsCrossed", "1 10 10 4 0.2 0.1", maxrel_q,
                   "The upper bound for the relative size must not be smaller than the lower "
                   "bound!"},
        abort_case{"DefectTooLong", "1 10 10 4 0.1 0.2 1 11 1", defect1_q,
                   "This defect does not fit onto the large object!"},
        abort_case{"DefectTooWide", "1 10 10 4 0.1 0.2 1 1 11", defect1_q,
                   "This defect does not fit onto the large object!"},
        abort_case{"DefectHalfRead", "1 10 10 4 0.1 0.2 1 3", defect1_q, not_number},
        abort_case{"FileNameEighty", "1 10 10 4 0.1 0.2 0 " + std::string(80, 'f'), file_q,
                   too_long},
        abort_case{"DefectFileNameEighty", "1 10 10 4 0.1 0.2 1 1 1 a.txt " + std::string(80, 'g'),
                   defectfile_q, too_long},
        abort_case{"NamesCutAtNul", std::string("1 10 10 4 0.1 0.2 1 1 1 a\0x a\0y 5", 34),
                   defectfile_q, "The defect file must differ from the instance file!"},
        abort_case{"WordOf256", "1 " + std::string(256, '1'), length_q, not_number},
        abort_case{"NameOf256", "1 10 10 4 0.1 0.2 0 " + std::string(256, 'f'), file_q, too_long},
        abort_case{"SameFileTwice", "1 10 10 4 0.1 0.2 1 1 1 out.txt ./out.txt 5", defectfile_q,
                   "The defect file must differ from the instance file!"}));

// Every question answered with each kind of troublesome answer; the other
// answers are those of the worked example with one defect.
struct matrix_row {
  const char* question;
  // Expected message for: letters, end of input, beyond 32 bits, -1, 0;
  // nullptr where the run completes.
  const char* expected[5];
};

const char* const positive = "Values must be greater than 0!";
const char* const no_name = "Missing file name!";

const matrix_row matrix[] = {
    {"instances", {not_number, not_number, not_number, nullptr, nullptr}},
    {"length", {not_number, not_number, not_number, bad_object, bad_object}},
    {"width", {not_number, not_number, not_number, bad_object, bad_object}},
    {"items", {not_number, not_number, not_number, nullptr, nullptr}},
    {"minrel", {not_number, not_number, between, between, between}},
    {"maxrel", {not_number, not_number, between, between, between}},
    {"defects", {not_number, not_number, not_number, nullptr, nullptr}},
    {"defect length", {not_number, not_number, not_number, positive, positive}},
    {"defect width", {not_number, not_number, not_number, positive, positive}},
    {"instance file", {nullptr, no_name, nullptr, nullptr, nullptr}},
    {"defect file", {nullptr, no_name, nullptr, nullptr, nullptr}},
    {"seed", {not_number, not_number, not_number, nullptr, nullptr}},
    {"closing", {nullptr, nullptr, nullptr, nullptr, nullptr}},
};

TEST(Run, EveryQuestionWithEveryKindOfBadAnswer) {
  const std::vector<std::string> good = {"2", "10", "10",    "4",     "0.1", "0.2", "1",
                                         "3", "2",  "i.txt", "d.txt", "19",  "0"};
  const char* const kinds[] = {"letters", nullptr, "99999999999", "-1", "0"};
  ASSERT_EQ(std::size(matrix), good.size());
  for (std::size_t q = 0; q < good.size(); ++q) {
    for (std::size_t k = 0; k < 5; ++k) {
      std::string input;
      for (std::size_t i = 0; i < good.size(); ++i) {
        if (i == q && kinds[k] == nullptr) break;  // the input ends here
        input += (i == q ? kinds[k] : good[i]) + std::string("\n");
      }
      scratch_folder dir;
      dir.write("i.txt", "old");
      const auto result = run_with(input, dir.path());
      const char* expected = matrix[q].expected[k];
      const std::string what =
          std::string(matrix[q].question) + " / " + (kinds[k] ? kinds[k] : "end of input");
      if (expected == nullptr) {
        EXPECT_EQ(result.status, 0) << what << "\n" << result.console;
        EXPECT_TRUE(ends_with(result.console, "Enter a number to quit! ")) << what;
      } else {
        EXPECT_EQ(result.status, 1) << what;
        EXPECT_TRUE(ends_with(result.console, expected)) << what << "\n" << result.console;
        EXPECT_EQ(dir.read("i.txt"), "old") << what;  // nothing written or created
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << what;
      }
    }
  }
}

TEST(Run, RelativeBoundsInOtherNotations) {
  // "%f" reads these as the same single-precision 0.1.
  for (const char* bound : {"+0.1", "1e-1", "0x1.99999ap-4", ".1", "0.1000"}) {
    scratch_folder dir;
    answers a;
    a.minrel = bound;
    EXPECT_EQ(run_with(a.text(), dir.path()).status, 0) << bound;
    EXPECT_EQ(dir.read("instances.txt"), worked_instances) << bound;
  }
  for (const char* bound : {"0.1.2", "--0.1", "0x", "1e", "0,1", "0xinf", "0XNaN", "0x.p1"}) {
    scratch_folder dir;
    answers a;
    a.minrel = bound;
    EXPECT_TRUE(ends_with(run_with(a.text(), dir.path()).console, not_number)) << bound;
  }
}

// A stream that fails the way a folder or a closed descriptor does: its
// buffer throws. After `good` bytes of answers.
class failing_buffer : public std::streambuf {
 public:
  explicit failing_buffer(std::string good) : good_(std::move(good)) {
    setg(good_.data(), good_.data(), good_.data() + good_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string good_;
};

// Never ends and never has whitespace.
class endless_buffer : public std::streambuf {
 protected:
  int_type underflow() override {
    setg(chunk_, chunk_, chunk_ + sizeof chunk_);
    return '7';
  }

 private:
  char chunk_[4096] = {};
  int unused_ = (std::fill(std::begin(chunk_), std::end(chunk_), '7'), 0);
};

TEST(Run, InputThatFailsOrNeverEnds) {
  scratch_folder dir;
  failing_buffer none("");
  std::istream in_none(&none);
  std::ostringstream out;
  EXPECT_EQ(run(in_none, out, dir.path()), 1);
  EXPECT_TRUE(ends_with(out.str(), "to generate? Input is not a valid number!"));

  // A read error at the closing prompt does not undo a completed run.
  std::string text = answers().text();
  failing_buffer after(text.substr(0, text.size() - 2));
  std::istream in_after(&after);
  EXPECT_EQ(run(in_after, out, dir.path()), 0);
  EXPECT_TRUE(ends_with(dir.read("instances.txt"), line({2, 5, 10}) + "\n"));

  endless_buffer sevens;
  std::istream in_sevens(&sevens);
  std::ostringstream out_sevens;
  EXPECT_EQ(run(in_sevens, out_sevens, dir.path()), 1);
  EXPECT_TRUE(ends_with(out_sevens.str(), "to generate? Input is not a valid number!"));
}

TEST(Run, NulBytesEndWordsAsInCStrings) {
  scratch_folder dir;
  answers a;
  a.instances = 1;
  std::string text = a.text();
  text.replace(0, 1, std::string("1\0junk", 7));  // the number 1
  EXPECT_EQ(run_with(text, dir.path()).status, 0);
  const std::string written = dir.read("instances.txt");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 5);

  a.instancefile = "missing/x";
  text = a.text();
  text.replace(text.find("missing/x"), 9, std::string("missing/x\0abc", 13));
  EXPECT_TRUE(ends_with(run_with(text, dir.path()).console, "Cannot write file missing/x!"));
}

TEST(Run, OneFileUnderTwoNames) {
  namespace fs = std::filesystem;
  scratch_folder dir;
  dir.write("i.txt", "old");
  fs::create_symlink("i.txt", dir / "sym.txt");
  fs::create_hard_link(dir / "i.txt", dir / "hard.txt");
  for (const std::string& other : {std::string("sym.txt"), std::string("hard.txt"),
                                   (dir / "i.txt").string(), std::string("sub/../i.txt")}) {
    fs::create_directories(dir / "sub");
    const auto result = run_with("1 10 10 4 0.1 0.2 1 1 1 i.txt " + other + " 5 0", dir.path());
    EXPECT_TRUE(ends_with(result.console, "The defect file must differ from the instance file!"))
        << other;
    EXPECT_EQ(dir.read("i.txt"), "old") << other;
  }
  // A link to a file that does not exist yet: it is the instance file by
  // the time the defects would be written.
  fs::create_symlink("new.txt", dir / "later.txt");
  const auto result = run_with("1 10 10 4 0.1 0.2 1 1 1 new.txt later.txt 5 0", dir.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(ends_with(result.console, "The defect file must differ from the instance file!"));
  const std::string written = dir.read("new.txt");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 5);  // complete and untouched
}

TEST(Run, FileNameOfSeventyNineCharacters) {
  scratch_folder dir;
  answers a;
  a.instancefile = std::string(79, 'n');
  EXPECT_EQ(run_with(a.text(), dir.path()).status, 0);
  EXPECT_TRUE(dir.has(a.instancefile));
}

TEST(Run, RepairAbortKeepsFinishedInstances) {
  // Equal bounds leave one admissible area; with this seed the first two
  // instances reach it and the third cannot.
  scratch_folder dir;
  answers a;
  a.instances = 50;
  a.length = 100;
  a.width = 50;
  a.items = 1;
  a.minrel = a.maxrel = "0.015";
  a.seed = 36;
  const auto result = run_with(a.text(), dir.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(ends_with(result.console,
                        "Enter an integer seed (e.g. 12):  Determination of integer length or "
                        "width of the small items failed. Please check the chosen bounds for the "
                        "relative size as well as the size of the large object!"));
  EXPECT_EQ(dir.read("instances.txt"), line({5, 15, 75}) + "\n" + line({5, 15, 75}) + "\n");
  EXPECT_EQ(result.console.find("Program run finished"), std::string::npos);
}

TEST(Run, UnwritableInstanceFile) {
  scratch_folder dir;
  answers a;
  a.instancefile = "missing/instances.txt";
  auto result = run_with(a.text(), dir.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(ends_with(result.console, "Cannot write file missing/instances.txt!"));

  if (std::filesystem::exists("/dev/full")) {
    a.instancefile = "/dev/full";
    result = run_with(a.text(), dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(ends_with(result.console, "(e.g. 12): Cannot write file /dev/full!"));
  }
}

// The console's text stays what run() without a reason prints; the one
// line beside it says which answer, or what the OS said.
TEST(Run, ReasonLineSaysWhatTheMessageCannot) {
  const auto with_reasons = [](const std::string& input, const std::filesystem::path& folder) {
    std::istringstream in(input);
    std::ostringstream out;
    std::vector<std::string> told;
    const int status = run(in, out, folder, progress_callback(),
                           [&](std::string_view why) { told.emplace_back(why); });
    return std::tuple(status, out.str(), told);
  };
  scratch_folder dir;
  // Without its last two lines, the seed and the closing answer.
  std::string seedless = answers().text();
  for (int k = 0; k < 2; ++k) seedless.resize(seedless.rfind('\n', seedless.size() - 2) + 1);
  const auto [status, console, told] = with_reasons(seedless + "x1\n0\n", dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(console, run_with(seedless + "x1\n0\n", dir.path()).console);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], "standard input:9: the seed: Input is not a valid number!");

  answers defect;
  defect.defects = {{3, 2}, {3, 11}};
  EXPECT_EQ(std::get<2>(with_reasons(defect.text(), dir.path())),
            std::vector<std::string>{
                "standard input:9: defect 2's width: This defect does not fit onto the large "
                "object!"});

  answers missing;
  missing.instancefile = "missing/instances.txt";
  EXPECT_EQ(std::get<2>(with_reasons(missing.text(), dir.path())),
            std::vector<std::string>{
                "missing/instances.txt: cannot be written: No such file or directory"});
  if (std::filesystem::exists("/dev/full")) {
    answers full = defect;
    full.defects = {{1, 1}};
    full.defectfile = "/dev/full";
    EXPECT_EQ(std::get<2>(with_reasons(full.text(), dir.path())),
              std::vector<std::string>{"/dev/full: cannot be written: No space left on device"});
  }
  // A completed run tells nothing.
  EXPECT_TRUE(std::get<2>(with_reasons(answers().text(), dir.path())).empty());
}

}  // namespace
}  // namespace sheetgen
