#include "driver.h"

#include <charconv>
#include <cstdint>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "defects.h"
#include "items.h"
#include "output_file.h"
#include "random.h"
#include "sheetgen.h"

namespace sheetgen {

[[noreturn]] void abort_run(std::string message) { throw run_aborted{std::move(message)}; }

namespace {

const char* const banner =
    "This program generates problem instances of a two-dimensional rectangular Single Large "
    "Object Placement Problem with defects. \nAll dimensions of the generated item types are "
    "integer, thus the dimensions of the large object and the defects should also be entered as "
    "integer numbers. For more details see: the file README.md that comes with this program, "
    "which describes the dialogue and both file formats. \n \n";

const char* const not_a_number = "Input is not a valid number!";
const char* const bad_object =
    "The large object's length and width must be positive and their product must not exceed "
    "2147483647!";
const char* const bad_relsize = "Value must lie between 0 and 1!";

// Longer words cannot be a valid answer; keeping only this much of them
// bounds the memory that one answer can take.
constexpr std::size_t max_word = 256;

// Reads answers as whitespace-delimited words, as scanf's conversions do,
// but takes a word only when all of it is the number asked for.
class console {
 public:
  console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  void print(std::string_view text) { out_ << text; }

  int32_t ask_int(std::string_view prompt) {
    print(prompt);
    return read_int();
  }

  int32_t read_int() {
    std::string word;
    bool too_long = false;
    if (!next_word(word, too_long) || too_long) abort_run(not_a_number);
    const std::optional<int32_t> v = parse_int(word);
    if (!v) abort_run(not_a_number);
    return *v;
  }

  float ask_float(std::string_view prompt) {
    print(prompt);
    std::string word;
    bool too_long = false;
    if (!next_word(word, too_long) || too_long) abort_run(not_a_number);
    const std::optional<float> v = parse_float(word);
    if (!v) abort_run(not_a_number);
    return *v;
  }

  std::string ask_name(std::string_view prompt) {
    print(prompt);
    std::string word;
    bool too_long = false;
    if (!next_word(word, too_long)) abort_run("Missing file name!");
    if (too_long || word.size() > MAXNAME) abort_run("File name too long (at most 79 characters)!");
    return word;
  }

  // Reads one answer and ignores it, whatever it is, even the end of input.
  void discard_answer() {
    std::string word;
    bool too_long = false;
    next_word(word, too_long);
  }

  // Digits with an optional sign, within 32 bits.
  static std::optional<int32_t> parse_int(std::string_view s) {
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    if (s.empty() || s.front() < '0' || s.front() > '9') return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (magnitude > limit) return std::nullopt;
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                         : static_cast<int64_t>(magnitude));
  }

  // What "%f" takes as one word: decimal or hexadecimal notation, inf, nan.
  // A value beyond the range of a float comes back as NaN, which no bound
  // accepts.
  static std::optional<float> parse_float(std::string_view s) {
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    if (s.empty() || s.front() == '-' || s.front() == '+') return std::nullopt;
    auto format = std::chars_format::general;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      s.remove_prefix(2);
      if (s.front() == '-' || s.front() == '+') return std::nullopt;
      format = std::chars_format::hex;
    }
    float v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, format);
    if (end != s.data() + s.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) return std::numeric_limits<float>::quiet_NaN();
    if (ec != std::errc()) return std::nullopt;
    return negative ? -v : v;
  }

 private:
  // Reads one word; false at the end of the input. `too_long` is set when
  // the word did not fit into max_word characters.
  bool next_word(std::string& word, bool& too_long) {
    // Every prompt must be visible before the program waits for its answer.
    out_.flush();
    word.clear();
    too_long = false;
    std::streambuf* buf = in_.rdbuf();
    using traits = std::char_traits<char>;
    int c = buf->sbumpc();
    while (c != traits::eof() && is_space(c)) c = buf->sbumpc();
    while (c != traits::eof() && !is_space(c)) {
      if (word.size() < max_word) {
        word.push_back(static_cast<char>(c));
      } else {
        too_long = true;
      }
      c = buf->sbumpc();
    }
    return !word.empty();
  }

  static bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }

  std::istream& in_;
  std::ostream& out_;
};

float ask_relsize(console& con, std::string_view prompt) {
  const float v = con.ask_float(prompt);
  if (!(v > 0.0f && v < 1.0f)) abort_run(bad_relsize);  // NaN fails too
  return v;
}

// The defect pass would otherwise overwrite the instances it follows.
void check_distinct_files(const run_parameters& p, const std::filesystem::path& folder) {
  const auto instances = (folder / p.filename).lexically_normal();
  const auto defects = (folder / p.defectfilename).lexically_normal();
  if (instances == defects) abort_run("The defect file must differ from the instance file!");
}

void dialogue(console& con, run_parameters& p, const std::filesystem::path& folder) {
  p.no_instances = con.ask_int("How many instances do you want to generate? ");
  if (p.no_instances > MAXMOD) abort_run("Please recompile code with larger MAXMOD value!\n");

  p.object.length = con.ask_int("Choose an integer length for the large object. ");
  if (p.object.length <= 0) abort_run(bad_object);
  p.object.width = con.ask_int("Choose an integer width for the large object. ");
  const int64_t area = int64_t{p.object.length} * p.object.width;
  if (p.object.width <= 0 || area > std::numeric_limits<int32_t>::max()) abort_run(bad_object);
  p.object.area = static_cast<int32_t>(area);

  p.no_items = con.ask_int("How many small items are to be generated per instance? ");
  if (p.no_items > MAXMOD) abort_run("Please recompile code with larger MAXMOD value!\n");

  p.minrelsize = ask_relsize(
      con,
      "Choose a lower bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.01). ");
  p.maxrelsize = ask_relsize(
      con,
      "Choose an upper bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.15). ");
  if (p.minrelsize > p.maxrelsize) {
    abort_run("The upper bound for the relative size must not be smaller than the lower bound!");
  }
  derive_area_bounds(p);

  p.no_defects = con.ask_int(
      "How many defects per instance do you wish to generate? (NOTE: The defects might "
      "overlap, as the intention is to consider each defect as a single one and go through them "
      "one after the other!) ");
  if (p.no_defects > MAXDEF) abort_run("Please recompile code with larger MAXDEF value!\n");

  for (int32_t k = 1; k <= p.no_defects; ++k) {
    con.print("Enter an positive integer length and width for defect no. " + std::to_string(k) +
              ", separated by a space. ");
    rectangle& d = p.defects[k - 1];
    d.length = con.read_int();
    d.width = con.read_int();
    if (d.length <= 0 || d.width <= 0) abort_run("Values must be greater than 0!");
    if (d.length > p.object.length || d.width > p.object.width) {
      abort_run("This defect does not fit onto the large object!");
    }
    d.area = d.length * d.width;  // fits: no larger than the object's area
  }

  p.filename =
      con.ask_name("Enter a name for the file to hold the instances (e.g. instances.txt). ");
  if (p.no_defects >= 1) {
    p.defectfilename =
        con.ask_name("Enter a name for the file to hold the defects (e.g. defects.txt). ");
    check_distinct_files(p, folder);
  }
  p.seed = con.ask_int("Enter an integer seed (e.g. 12): ");
}

}  // namespace

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder) {
  console con(in, out);
  try {
    run_parameters p;
    con.print(banner);
    dialogue(con, p, folder);

    seed_random(p.seed);
    uniform_random();  // the first draw after seeding is never used

    output_file instancefile(folder, p.filename);
    for (int32_t i = 0; i < p.no_instances; ++i) generate_items(p, instancefile);
    instancefile.close();

    if (p.no_defects >= 1) place_defects(p, folder);

    con.print("\n\nProgram run finished. Enter a number to quit! ");
    con.discard_answer();
    out.flush();
    return 0;
  } catch (const run_aborted& abort) {
    con.print(abort.message);
    con.discard_answer();
    out.flush();
    return 1;
  }
}

}  // namespace sheetgen
