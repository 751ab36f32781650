// The fast path may only get sooner to what the careful parser decides:
// every line it takes, the careful parser takes too, with the same numbers
// and the same end; and it takes every line the writer writes with an LF
// and numbers of up to 8 digits. Both ways of taking the bytes (64-bit
// words, and SSE2 where the machine has it) are held to that.
#include "line_batch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "line_parse.h"
#include "sheetgen/visible_bytes.h"
#include "test_util.h"

namespace sheetgen {
namespace {

using testing::line;

// `text` in a buffer as the readers keep one: zeros around it.
struct padded {
  explicit padded(const std::string& text) : bytes(16 + text.size() + 96, '\0') {
    bytes.replace(16, text.size(), text);
  }
  const char* begin() const { return bytes.data() + 16; }
  std::string bytes;
};

template <class Steps, class Value>
void same_as_careful(const std::string& text, bool must_take) {
  constexpr int fields = line_batch::layout<Value>::fields;
  const padded in(text);
  line_batch::batch<Value> b(4);
  const char* stop = line_batch::parse<Value, Steps>(in.begin(), in.begin() + 1, b);
  int32_t numbers[fields];
  const char* careful = line_parse::parse_line<fields>(in.begin(), numbers);
  if (b.end_count == 1) {  // an empty line
    EXPECT_EQ(text[0], '\n');
    EXPECT_EQ(stop, in.begin() + 1);
    return;
  }
  if (b.count == 0) {
    EXPECT_FALSE(must_take) << visible_bytes(text);
    EXPECT_EQ(stop, in.begin());
    return;
  }
  ASSERT_NE(careful, nullptr) << visible_bytes(text);
  EXPECT_EQ(stop, careful) << visible_bytes(text);
  const Value expected = line_batch::make<Value>(numbers);
  EXPECT_EQ(b.values()[0], expected) << visible_bytes(text);
}

// Lines as the writer writes them, then bent in every way a file gets bent:
// bytes changed, dropped, doubled, CR LF, long numbers.
std::vector<std::string> lines_to_try(int fields, std::mt19937& random) {
  std::vector<std::string> out;
  const auto number = [&] {
    const int digits = 1 + static_cast<int>(random() % 10);
    int64_t n = random() % 10;
    for (int i = 1; i < digits; ++i) n = n * 10 + random() % 10;
    return std::min<int64_t>(n, 2147483647);
  };
  const std::string bytes = "0123456789.\t\n\r -+x\0";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int f = 0; f < fields; ++f) text += std::to_string(number()) + ".000000\t";
    text.back() = '\n';
    switch (random() % 6) {
      case 0:
        break;
      case 1:
        text[random() % text.size()] = bytes[random() % bytes.size()];
        break;
      case 2:
        text.erase(random() % text.size(), 1);
        break;
      case 3:
        text.insert(random() % text.size(), 1, bytes[random() % bytes.size()]);
        break;
      case 4:
        text.back() = '\r';
        text += '\n';
        break;
      case 5:
        text.insert(random() % text.size(), std::string(1 + random() % 4, '0' + random() % 10));
        break;
    }
    out.push_back(text);
  }
  return out;
}

// Whether the writer writes `text` and the fast path must take it.
bool plain(const std::string& text, int fields) {
  int tabs = 0;
  int digits = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digits > 8 + 6) return false;
    } else if (c == '.' || c == '\t' || c == '\n') {
      if (c != '.') ++tabs, digits = 0;
    } else {
      return false;
    }
  }
  // The parser reads past a line's end as far as the readers' buffers let it.
  const std::string padded = text + std::string(line_parse::overrun + 1, '\0');
  int32_t numbers[4];
  const char* end = fields == 3 ? line_parse::parse_line<3>(padded.c_str(), numbers)
                                : line_parse::parse_line<4>(padded.c_str(), numbers);
  return tabs == fields && end == padded.c_str() + text.size();
}

template <class Steps>
void hold_to_careful() {
  std::mt19937 random(7);
  for (const std::string& text : lines_to_try(3, random)) {
    same_as_careful<Steps, rectangle>(text, plain(text, 3));
  }
  for (const std::string& text : lines_to_try(4, random)) {
    same_as_careful<Steps, placed_defect>(text, plain(text, 4));
  }
}

TEST(LineBatch, TakesOnlyWhatTheCarefulParserTakesAlike) {
  hold_to_careful<line_batch::words>();
#ifdef SHEETGEN_LINE_BATCH_SSE2
  hold_to_careful<line_batch::sse2>();
#endif
#ifdef SHEETGEN_LINE_BATCH_AVX2
  if (line_batch::avx2::supported()) hold_to_careful<line_batch::avx2>();
#endif
}

// Many lines at once: blocks, and where a batch stops.
template <class Steps>
void batches() {
  const std::string block = line({3, 5, 15}) + line({12345678, 1, 12345678}) + "\n";
  {
    const padded in(block + "\n" + block + "1.000000\t2.000000\t2.000000\r\n" + block);
    line_batch::batch<rectangle> b(16);
    const char* stop =
        line_batch::parse<rectangle, Steps>(in.begin(), in.begin() + in.bytes.size() - 112, b);
    EXPECT_EQ(b.count, 4u);
    EXPECT_EQ(std::vector<uint32_t>(b.ends, b.ends + b.end_count),
              (std::vector<uint32_t>{2, 2, 4}));
    EXPECT_EQ(std::string(stop, 4), "1.00");  // the CR LF line is left to the careful parser
    EXPECT_EQ(b.values()[1], rectangle::of(12345678, 1));
  }
  {  // full
    const padded in(block + block);
    line_batch::batch<rectangle> b(3);
    const char* stop =
        line_batch::parse<rectangle, Steps>(in.begin(), in.begin() + in.bytes.size() - 112, b);
    EXPECT_EQ(b.count, 3u);
    EXPECT_EQ(stop - in.begin(),
              static_cast<std::ptrdiff_t>(block.size() + line({3, 5, 15}).size()));
  }
  {  // a limit in the middle: only lines that start before it
    const padded in(block);
    line_batch::batch<rectangle> b(16);
    const char* stop = line_batch::parse<rectangle, Steps>(in.begin(), in.begin() + 2, b);
    EXPECT_EQ(b.count, 1u);
    EXPECT_EQ(stop - in.begin(), static_cast<std::ptrdiff_t>(line({3, 5, 15}).size()));
  }
}

// Long stretches are taken as two halves side by side: whatever the halves
// meet, the batch is what one line after the other gives.
template <class Steps>
void long_stretches() {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    std::vector<rectangle> values;
    std::vector<uint32_t> ends;
    std::size_t stop = std::string::npos;
    const int lines = 100 + static_cast<int>(random() % 900);
    const int odd = static_cast<int>(random() % (2 * lines));  // beyond the end: none
    for (int i = 0; i < lines; ++i) {
      if (i == odd) {
        stop = text.size();
        text += "1.000000\t1.000000\t1.000000\r\n";  // for the careful parser
      } else if (random() % 8 == 0) {
        if (stop == std::string::npos) ends.push_back(static_cast<uint32_t>(values.size()));
        text += "\n";
      } else {
        const auto length = static_cast<int32_t>(1 + random() % 20000);
        const auto width = static_cast<int32_t>(1 + random() % 5000);
        if (stop == std::string::npos) values.push_back(rectangle::of(length, width));
        text += line({length, width, int64_t{length} * width});
      }
    }
    const padded in(text);
    line_batch::batch<rectangle> b(4096);
    const char* end = line_batch::parse<rectangle, Steps>(in.begin(), in.begin() + text.size(), b);
    EXPECT_EQ(end - in.begin(), static_cast<std::ptrdiff_t>(std::min(stop, text.size())));
    EXPECT_EQ(std::vector<rectangle>(b.values(), b.values() + b.count), values);
    EXPECT_EQ(std::vector<uint32_t>(b.ends, b.ends + b.end_count), ends);
  }
}

TEST(LineBatch, LongStretchesAsOneLineAfterTheOther) {
  long_stretches<line_batch::words>();
#ifdef SHEETGEN_LINE_BATCH_SSE2
  long_stretches<line_batch::sse2>();
#endif
#ifdef SHEETGEN_LINE_BATCH_AVX2
  if (line_batch::avx2::supported()) long_stretches<line_batch::avx2>();
#endif
}

TEST(LineBatch, StopsAtTheLimitWhenFullAndAtLinesItLeaves) {
  batches<line_batch::words>();
#ifdef SHEETGEN_LINE_BATCH_SSE2
  batches<line_batch::sse2>();
#endif
#ifdef SHEETGEN_LINE_BATCH_AVX2
  if (line_batch::avx2::supported()) batches<line_batch::avx2>();
#endif
}

}  // namespace
}  // namespace sheetgen
