#include "files/source.h"

#include <sheetgen/answers.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <ostream>
#include <streambuf>
#include <utility>

#include "files/files.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// Takes the dialogue's prompts and keeps none of them.
class discard_buffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

sheetgen::run_parameters read_answers_quietly(std::istream& in,
                                              const std::filesystem::path& folder) {
  discard_buffer nothing;
  std::ostream prompts(&nothing);
  return sheetgen::read_answers(in, prompts, folder);
}

run_info run_from_answers(const std::string& answers_file) {
  std::ifstream in = open_input(answers_file);
  sheetgen::run_parameters p;
  try {
    p = read_answers_quietly(in);
  } catch (const sheetgen::answer_error& e) {
    throw sheetgen::error(e.located(answers_file));
  }
  run_info run;
  run.object = p.object;
  run.instance_file = p.filename;
  if (p.no_defects >= 1) run.defect_file = p.defectfilename;
  run.answers = std::move(p);
  return run;
}

std::string answers_name_note(const std::string& name) {
  if (std::filesystem::path(name).is_absolute()) return "";
  return " (the answers file's names are taken relative to the current folder, not to the "
         "answers file)";
}

rectangle parse_object(std::string_view text) {
  const std::size_t x = text.find('x');
  const auto length = parse_positive(text.substr(0, x));
  const auto width =
      x == std::string_view::npos ? std::nullopt : parse_positive(text.substr(x + 1));
  if (!length || !width) {
    throw sheetgen::error(
        "expected LENGTHxWIDTH, two positive integers such as 20000x20000, not \"" +
        std::string(text) + "\"");
  }
  constexpr int64_t largest = 2147483647;
  // Each side first: the product of two sides of 18 digits would overflow.
  if (*length > largest || *width > largest || *length * *width > largest) {
    throw sheetgen::error("the object " + std::string(text) +
                          " is too large: length x width must not exceed 2147483647");
  }
  return {.area = static_cast<int32_t>(*length * *width),
          .length = static_cast<int32_t>(*length),
          .width = static_cast<int32_t>(*width)};
}

run_info run_from_object(rectangle object, std::string instance_file, std::string defect_file) {
  run_info run;
  run.object = object;
  run.instance_file = std::move(instance_file);
  run.defect_file = std::move(defect_file);
  return run;
}

}  // namespace sheetkit
