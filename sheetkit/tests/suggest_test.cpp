#include "text/suggest.h"

#include <gtest/gtest.h>

namespace sheetkit {
namespace {

TEST(Suggest, NearestNameOrNone) {
  const std::vector<std::string> commands = {"check",  "stats",  "draw",
                                             "export", "verify", "version"};
  const std::vector<std::pair<const char*, const char*>> meant = {
      {"chek", "check"},    {"CHECK", "check"},  {"exprot", "export"}, {"stat", "stats"},
      {"verfiy", "verify"}, {"vers", "version"}, {"expor", "export"}};
  for (const auto& [typed, name] : meant) EXPECT_EQ(nearest(typed, commands), name) << typed;
  // Too far, too short, or as near to two names: no guess.
  for (const char* typed : {"frobnicate", "x", "dr", "ver", "checkstats", "drawing", ""}) {
    EXPECT_EQ(nearest(typed, commands), std::nullopt) << typed;
  }
  const std::vector<std::string> options = {"--answers", "--object", "-o", "--output", "--force"};
  EXPECT_EQ(nearest("--answer", options), "--answers");
  EXPECT_EQ(nearest("--obj", options), "--object");  // the start of one name
  EXPECT_EQ(nearest("--o", options), std::nullopt);  // of two, and too short
  EXPECT_EQ(nearest("-x", options), std::nullopt);
  EXPECT_EQ(nearest("--froce", options), "--force");

  EXPECT_EQ(one_of({"a"}), "a");
  EXPECT_EQ(one_of({"a", "b", "c"}), "a, b or c");
}

}  // namespace
}  // namespace sheetkit
