#include "suites/suite_definition.h"

#include <gtest/gtest.h>

#include <string>

#include "suite_example.h"
#include "suites/suite_plan.h"
#include "test_util.h"

namespace sheetkit {
namespace {

TEST(SuiteDefinition, ClassesGiveTheAnswersSheetgenReadsAndTheSuitesOrder) {
  const suite_definition suite =
      read_suite_definition("suite.json", testing::suite_json_text, "out");
  ASSERT_EQ(suite.classes.size(), 3u);
  const suite_class& worked = suite.classes[0];
  EXPECT_EQ(worked.answers(19),
            testing::bytes_of(SHEETGEN_SOURCE_DIR "/examples/worked_example.txt"));
  EXPECT_EQ(worked.defect_sizes(), "3x2 10x1");
  EXPECT_EQ(suite.classes[1].defect_sizes(), "-");
  EXPECT_EQ(suite.classes[1].seeds, (std::vector<int32_t>{-1, 0, 1}));
  EXPECT_EQ(suite.classes[1].answers(-1),
            "5\n6000\n3210\n20\n0.001\n0.02\n0\ninstances.txt\n-1\n0\n");
  EXPECT_TRUE(suite.classes[2].complete);
  EXPECT_EQ(suite.classes[2].first, 60);

  // The order: worked 1, 2, 19; sheet -1, 0, 1; tight as one piece.
  const auto names = [&](suite_shard shard) {
    std::string text;
    for (const suite_unit& u : suite_units(suite, shard)) {
      text += " " + (u.cls->complete ? u.cls->name : set_name(*u.cls, u.seed));
    }
    return text;
  };
  EXPECT_EQ(names({}), " worked/s1 worked/s2 worked/s19 sheet/s-1 sheet/s0 sheet/s1 tight");
  EXPECT_EQ(names(suite_shard::parse("2/3")), " worked/s2 sheet/s0");
  EXPECT_EQ(names(suite_shard::parse("3/3")), " worked/s19 sheet/s1");
  for (const char* bad : {"0/3", "4/3", "3", "1/", "a/b", "01/3"}) {
    EXPECT_THROW(suite_shard::parse(bad), sheetgen::error) << bad;
  }
}

TEST(SuiteDefinition, EveryFaultIsRefusedWhereItStands) {
  const std::string suite = testing::suite_json_text;
  struct fault {
    std::string from, to, message;
  };
  const fault faults[] = {
      {R"("upper": "0.2", "defects")", R"("upper": "1.5", "defects")",
       "5:29: class \"worked\", upper: Value must lie between 0 and 1!"},
      {R"("lower": "0.1", "upper": "0.2", "defects")",
       R"("lower": "0.3", "upper": "0.2", "defects")",
       "5:29: class \"worked\", upper: The upper bound for the relative size must not be smaller "
       "than the lower bound!"},
      {R"("lower": "0.001")", R"("lower": 0.001)",
       "7:13: class \"sheet\", lower: use \"0.001\", a string: the dialogue reads a bound's "
       "decimal text, which a JSON number does not keep"},
      {R"("lower": "0.001")", R"("lower": "0.001 0.02")",
       "7:13: class \"sheet\", lower: a bound is one word, such as \"0.1\", without spaces or "
       "control characters"},
      {R"("seeds": [1, 2, 19])", R"("seeds": [1, 19, 19])",
       "2:19: seeds[2]: seed 19 is given twice"},
      {R"("seeds": [1, 2, 19])", R"("seeds": [1, 2147483648])",
       "2:15: class \"worked\", seeds[1]: Input is not a valid number!"},
      {R"("count": 3)", R"("count": 3, "last": 4)",
       "7:74: class \"sheet\", seeds.last: unknown field (known: first, count)"},
      {R"("first": -1, "count": 3)", R"("first": 2147483600, "count": 100)",
       "7:79: class \"sheet\", seeds.count: the last seed would be 2147483699, beyond the "
       "largest, 2147483647"},
      {R"({"first": 60, "count": 2})", R"([60, 61])",
       "9:63: class \"tight\", seeds: with \"complete\", give {\"first\": ..., \"count\": ...}: "
       "seeds are taken in order until that many runs complete"},
      {R"("name": "sheet")", R"("name": "../sheet")",
       "6:12: class 2, name: a class's name is its folder's: letters, digits, '.', '_' and '-', "
       "not starting with '.'"},
      {R"("name": "sheet")", R"("name": "worked")",
       "6:12: class \"worked\", name: a second class of "
       "this name"},
      {R"("length": 6000)", R"("lenght": 6000)",
       "6:21: class \"sheet\", lenght: unknown field; did you mean length? (known: name, length, "
       "width, instances, "
       "item_types, lower, upper, defects, seeds, complete)"},
      {R"("length": 6000)", R"("length": 6000.5)",
       "6:31: class \"sheet\", length: expected an "
       "integer, not 6000.5"},
      {R"("width": 3210)", R"("width": 3210000)",
       "6:46: class \"sheet\", width: The large object's length and width must be positive and "
       "their product must not exceed 2147483647!"},
      {R"("instances": 5,)", R"("instances": 20001,)",
       "6:65: class \"sheet\", instances: Please recompile code with larger MAXMOD value!"},
      {R"("instances": 5,)", R"("instances": -5,)",
       "6:65: class \"sheet\", instances: must not be "
       "negative"},
      {R"([10, 1])", R"([10, 0])",
       "5:61: class \"worked\", defects[1][1]: Values must be greater than 0!"},
      {R"([10, 1])", R"([11, 1])",
       "5:57: class \"worked\", defects[1][0]: This defect does not fit onto the large object!"},
      {R"([10, 1])", R"([10])",
       "5:56: class \"worked\", defects[1]: expected [length, width], not a "
       "list"},
      {R"( "seeds": [1, 2, 19],)", "",
       "4:3: class \"worked\": no \"seeds\" given, in the class or for the whole suite"},
      {R"([10, 1]]})", R"([10, 1]], "seeds": [5]})",
       "2:11: seeds: not used: every class gives its own seeds"},
      {R"("suite": "worked-demo")", R"("suite": "worked\tdemo")",
       "1:11: suite: a name without tabs, line breaks or other control characters, not empty"},
      {R"("suite": "worked-demo")", R"("suite": 7)", "1:11: suite: expected a string, not 7"},
      {R"("complete": true)", R"("complete": 1)",
       "9:48: class \"tight\", complete: expected true or false, not 1"},
      {R"("width": 10, "instances": 2)", R"("width": 10, "width": 2)",
       "4:49: class \"worked\", width: given twice"},
      {R"("count": 2}}]})", R"("count": 2}},]})",
       "9:90: not JSON: syntax error while parsing value - unexpected "
       "']'; expected '[', '{', or a literal"},
  };
  const auto message_of = [](const std::string& text) {
    return sheetgen::testing::message_of([&] { read_suite_definition("suite.json", text, "out"); });
  };
  for (const fault& f : faults) {
    std::string text = suite;
    ASSERT_NE(text.find(f.from), std::string::npos) << f.from;
    text.replace(text.find(f.from), f.from.size(), f.to);
    EXPECT_EQ(message_of(text), "suite.json:" + f.message) << f.to;
  }
  EXPECT_EQ(message_of("[1]"),
            "suite.json:1:1: expected an object with the fields suite, seeds and classes, not a "
            "list");
  EXPECT_EQ(
      message_of(R"({"suite": "a", "x": )" + std::string(40, '[') + std::string(40, ']') + "}"),
      "suite.json:1:52: nested too deeply (at most 32 levels)");
}

// What a hostile or careless file holds: bytes after a NUL, numbers no
// double holds, literals as long as the file, controls in the suite's
// name, class folders named as the suite's own files.
TEST(SuiteDefinition, HostileTextIsRefusedWhereItStandsInFewWords) {
  const std::string suite = testing::suite_json_text;
  const auto message_of = [](const std::string& text) {
    return sheetgen::testing::message_of([&] { read_suite_definition("g.json", text, "out"); });
  };
  EXPECT_EQ(message_of(suite + std::string(1, '\0') + "garbage {{{"),
            "g.json:10:1: not JSON: a NUL byte");
  const std::string huge = "1" + std::string(1000000, '0');
  const struct {
    std::string from, to, message;
  } faults[] = {
      {"\"count\": 3", "\"count\": " + huge,
       "g.json:7:71: number too large: 1000000000000000000000000000000000000000..."},
      {"\"count\": 3", "\"count\": 1e999999", "g.json:7:71: number too large: 1e999999"},
      {"\"count\": 3", "\"count\": 1." + std::string(100000, '5'),
       "g.json:7:71: class \"sheet\", seeds.count: expected an integer, not "
       "1.55555555555555555555555555555555555555..."},
      {"worked-demo", "worked\\u009bdemo", ""},  // CSI, a C1 control, escaped
      {"worked-demo",
       "worked\xc2\x9b"
       "demo",
       ""},                                     // the same as UTF-8
      {"worked-demo", "\\u202edemo", ""},       // right-to-left override, escaped
      {"worked-demo", "demo\xe2\x81\xa6", ""},  // left-to-right isolate
  };
  for (const auto& f : faults) {
    std::string text = suite;
    text.replace(text.find(f.from), f.from.size(), f.to);
    EXPECT_EQ(message_of(text),
              f.message.empty()
                  ? "g.json:1:11: suite: a name without tabs, line breaks or other control "
                    "characters, not empty"
                  : f.message)
        << f.to.substr(0, 30);
  }
  // The token last read, quoted by the parser, is cut too.
  std::string long_token = suite;
  long_token.replace(long_token.find("\"worked-demo\""), 13,
                     "\"" + std::string(100000, 'a') + "\t\"");
  const std::string cut = message_of(long_token);
  EXPECT_EQ(cut.substr(0, 26), "g.json:1:100012: not JSON:");
  EXPECT_LT(cut.size(), 300u) << cut;
  EXPECT_NE(cut.find("last read: '\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...'"),
            std::string::npos)
      << cut;
  // Still a name: U+00A0 and U+2014 are no controls.
  std::string dashed = suite;
  dashed.replace(dashed.find("worked-demo"), 11,
                 "worked\xc2\xa0\xe2\x80\x94"
                 "demo");
  EXPECT_NO_THROW(read_suite_definition("g.json", dashed, "out"));

  for (const char* name : {"index.html", "manifest.tsv", "SHA256SUMS", "suite.json", "Index.HTML",
                           "manifest.tsv.tmp-0123"}) {
    std::string text = suite;
    text.replace(text.find("\"sheet\""), 7, "\"" + std::string(name) + "\"");
    EXPECT_EQ(message_of(text), "g.json:6:12: class \"" + std::string(name) + "\", name: \"" +
                                    std::string(name) +
                                    "\" is the name of a file the suite writes beside its class "
                                    "folders; give the class another name");
  }
}

}  // namespace
}  // namespace sheetkit
