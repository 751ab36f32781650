#include "progress/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace sheetgen {
namespace {

// A progress line on a clock the test moves.
class ProgressLine : public ::testing::Test {
 protected:
  progress_line make(bool terminal, bool after_prompt) {
    return progress_line(out_, terminal, after_prompt, [this] { return now_; });
  }
  void at(int ms) { now_ = progress_line::clock::time_point{} + std::chrono::milliseconds(ms); }
  // What has been written since the last call.
  std::string drawn() {
    std::string text = out_.str();
    out_.str("");
    return text;
  }

  std::ostringstream out_;
  progress_line::clock::time_point now_{};
};

TEST_F(ProgressLine, NothingOffATerminalOrInTheFirstSecond) {
  {
    progress_line line = make(false, true);
    line.show({"items", 0, 10, 0, "items"});
    at(5000);
    line.show({"items", 5, 10, 100, "items"});
  }
  EXPECT_EQ(drawn(), "");
  progress_line line = make(true, true);
  line.show({"items", 0, 200, 0, "items"});
  at(900);
  line.show({"items", 1, 200, 20000, "items"});  // a short run shows nothing
  line.show({});
  EXPECT_EQ(drawn(), "");
}

TEST_F(ProgressLine, NamesThePassAndShowsShareRateAndTimeLeftBelowThePrompt) {
  progress_line line = make(true, true);
  line.show({"items", 0, 200, 0, "items"});
  at(2000);
  line.show({"items", 2, 200, 50000000, "items"});
  // Below the prompt, which stays as it was: 2 s for 2 instances, 198 to go.
  const std::string items = "items: 2 / 200 instances (1%), 25.0 million items/s, 3:18 left";
  EXPECT_EQ(drawn(), "\n\r" + items);
  at(2100);
  line.show({"items", 3, 200, 60000000, "items"});  // too soon to draw again
  EXPECT_EQ(drawn(), "");

  // The next pass starts from its own 0, under its own name; a shorter line
  // blanks out what the longer one left.
  at(2300);
  line.show({"defects", 0, 200, 0, "defects"});
  const std::string start = "defects: 0 / 200 instances (0%)";
  EXPECT_EQ(drawn(), "\r" + start + std::string(items.size() - start.size(), ' '));
  at(2800);
  line.show({"defects", 4, 200, 100, "defects"});
  const std::string defects = "defects: 4 / 200 instances (2%), 200 defects/s, 0:25 left";
  EXPECT_EQ(drawn(), "\r" + defects + std::string(items.size() - defects.size(), ' '));

  // The end clears all it drew and only that: the line break stays.
  line.show({});
  EXPECT_EQ(drawn(), std::string("\r").append(items.size(), ' ').append("\r"));
  line.clear();
  EXPECT_EQ(drawn(), "");
}

TEST_F(ProgressLine, UnknownTotalsAndLongPasses) {
  progress_line line = make(true, false);  // no prompt: no line break
  line.show({"check", 0, 0, 0, "lines"});
  at(1500);
  line.show({"check", 7, 0, 300, "lines"});
  EXPECT_EQ(drawn(), "\rcheck: 7 instances, 200 lines/s");
  at(4000);
  line.show({"verify", 0, 20000, 0, "items"});
  EXPECT_EQ(drawn(), "\rverify: 0 / 20000 instances (0%)");
  at(5000);
  line.show({"verify", 5, 20000, 100, "items"});  // 1 s for 5: 3999 s to go
  EXPECT_EQ(drawn(), "\rverify: 5 / 20000 instances (0%), 100 items/s, 1:06:39 left");
}

}  // namespace
}  // namespace sheetgen
