#include "suites/json_places.h"

#include <gtest/gtest.h>

namespace sheetkit {
namespace {

TEST(JsonPlaces, ValuesAndKeysAreFoundThroughEscapesAndLines) {
  // Brackets, quotes and escaped slashes inside strings are not structure.
  const std::string text =
      "{\"a\\\"]\": [1, \"x]\\\\\", {\"b/c\": -2.5e3}],\n"
      "  \"k\\u0065y\":\n\t[ [7, 8] ], \"e\": {}}";
  const json_places places(text);
  const auto at = [&](const char* pointer) {
    return json_places::line_column(text, places.value(pointer));
  };
  EXPECT_EQ(at(""), "1:1");
  EXPECT_EQ(at("/a\"]"), "1:10");
  EXPECT_EQ(at("/a\"]/1"), "1:14");
  EXPECT_EQ(at("/a\"]/2/b~1c"), "1:30");
  EXPECT_EQ(places.raw("/a\"]/2/b~1c"), "-2.5e3");
  EXPECT_EQ(json_places::line_column(text, places.key("/key")), "2:3");  // "k\u0065y"
  EXPECT_EQ(at("/key/0/1"), "3:8");
  EXPECT_EQ(at("/e"), "3:19");
  EXPECT_FALSE(places.repeated_key());
  EXPECT_EQ(json_places::child("/x", "a/b~c"), "/x/a~1b~0c");

  const std::string twice = R"({"a": 1, "b": {"c": 1, "c": 2}})";
  const json_places repeated(twice);
  ASSERT_TRUE(repeated.repeated_key());
  EXPECT_EQ(*repeated.repeated_key(), "/b/c");
  EXPECT_EQ(repeated.key("/b/c"), twice.rfind("\"c\""));
}

}  // namespace
}  // namespace sheetkit
