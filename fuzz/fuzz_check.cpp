// Feeds arbitrary files to sheetkit's check. It must never throw or crash,
// and what it prints must keep its shape: one summary line when it finds
// nothing, else at most 20 "FILE:LINE: message" lines and the count of
// the rest; then any notes.
//
// The input: a first byte of flags (1: check against the worked example's
// answers, 2: there is a defect file), then the instance file, then, after
// the first NUL byte, the defect file. The object is always 10 x 10.
// Each input is checked from streams and again from files by name (mapped
// where the system maps files), which must print the same.
#include <sheetgen/parameters.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "files/source.h"
#include "inspect/check.h"
#include "read_by_mapping.h"
#include "worked_example_data.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "fuzz_check: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

sheetkit::run_info make_run(bool with_answers) {
  sheetgen::run_parameters p = sheetgen::testing::worked::parameters();
  sheetkit::run_info run = sheetkit::run_from_object(p.object, "i", "d");
  if (with_answers) {
    p.filename = run.instance_file;
    p.defectfilename = run.defect_file;
    sheetgen::check_parameters(p);
    run.answers = p;
  }
  return run;
}

bool is_problem_line(std::string_view line) {
  if (!line.starts_with("i:") && !line.starts_with("d:")) return false;
  line.remove_prefix(2);
  const std::size_t digits = line.find_first_not_of("0123456789");
  return digits != 0 && digits != std::string_view::npos && line[0] != '0' &&
         line.substr(digits).starts_with(": ") && line.size() > digits + 2;
}

// A folder for the files checked by name, removed at the end.
const std::string& scratch() {
  static const struct folder {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("sheetgen_fuzz_check_" + std::to_string(std::random_device()())))
                           .string();
    folder() { std::filesystem::create_directories(path); }
    ~folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  } f;
  return f.path;
}

// check_files on the same files written out; its lines with the folder
// taken out of the names.
std::string check_by_name(sheetkit::run_info run, std::string_view items,
                          std::optional<std::string_view> defects) {
  const std::string folder = scratch() + "/";
  run.instance_file = folder + "i";
  run.defect_file = defects ? folder + "d" : "";
  std::ofstream(run.instance_file, std::ios::binary) << items;
  if (defects) std::ofstream(run.defect_file, std::ios::binary) << *defects;
  std::ostringstream out;
  sheetkit::check_files(run, out,
                        [](const sheetkit::file_error& e) { fail("unreadable", e.what()); });
  std::string text = out.str();
  for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at)) {
    text.erase(at, folder.size());
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The files opened by name are mapped, whatever this machine's default.
  static const bool chosen = (sheetgen::testing::read_by_mapping(), true);
  (void)chosen;
  if (size == 0) return 0;
  const int flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = rest.find('\0');
  std::istringstream instances(std::string(rest.substr(0, split)));
  std::istringstream defects(split == std::string_view::npos ? ""
                                                             : std::string(rest.substr(split + 1)));
  static const sheetkit::run_info bare = make_run(false);
  static const sheetkit::run_info answered = make_run(true);

  std::ostringstream out;
  int64_t problems = 0;
  try {
    problems = sheetkit::check_streams((flags & 1) != 0 ? answered : bare, instances,
                                       (flags & 2) != 0 ? &defects : nullptr, out);
  } catch (const std::exception& e) {
    fail("check threw", e.what());
  }
  const std::string text = out.str();
  try {
    const std::string by_name = check_by_name(
        (flags & 1) != 0 ? answered : bare, rest.substr(0, split),
        (flags & 2) != 0 ? std::optional(split == std::string_view::npos ? std::string_view()
                                                                         : rest.substr(split + 1))
                         : std::nullopt);
    if (by_name != text) fail("the files read by name give", by_name + "\nstreams give\n" + text);
  } catch (const std::exception& e) {
    fail("check by name threw", e.what());
  }
  std::istringstream lines(text);
  int64_t count = 0;
  bool notes = false;
  std::string line;
  while (std::getline(lines, line)) {
    // The notes come last, each "FILE:LINE: note: ...", then their number.
    const bool note =
        is_problem_line(line) && line.substr(line.find(": ") + 2).starts_with("note: ");
    if (notes || note) {
      if (!note && !line.starts_with("note: ")) fail("malformed note", text);
      notes = true;
      continue;
    }
    if (line.starts_with("note: ")) fail("the notes' number without a note", text);
    ++count;
    if (problems == 0) {
      if (!line.ends_with("; no problems found")) fail("no problems, but not the summary", text);
    } else if (count == sheetkit::max_problems_shown + 1) {
      if (line !=
          "... and " + std::to_string(problems - sheetkit::max_problems_shown) +
              (problems - sheetkit::max_problems_shown == 1 ? " more problem" : " more problems")) {
        fail("wrong count of the rest", text);
      }
    } else if (!is_problem_line(line)) {
      fail("malformed problem line", text);
    }
  }
  const int64_t expected = problems == 0 ? 1
                           : problems > sheetkit::max_problems_shown
                               ? sheetkit::max_problems_shown + 1
                               : problems;
  if (count != expected || text.empty() || text.back() != '\n') fail("wrong number of lines", text);
  return 0;
}
