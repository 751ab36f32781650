#include <gtest/gtest.h>
#include <sheetgen/visible_bytes.h>

namespace sheetgen {
namespace {

TEST(VisibleBytes, SpellsOutWhatCannotBeSeen) {
  const std::string text("a\tb\rc\\d\"e\x01\x7f\xff\0f", 14);
  EXPECT_EQ(visible_bytes(text), "a\\tb\\rc\\\\d\"e\\x01\\x7f\\xff\\x00f");
  EXPECT_EQ(visible_bytes(text, '"'), "a\\tb\\rc\\\\d\\\"e\\x01\\x7f\\xff\\x00f");
  EXPECT_EQ(visible_bytes(""), "");
}

}  // namespace
}  // namespace sheetgen
