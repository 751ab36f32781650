#include "dialogue.h"

#include <sheetgen/answers.h>
#include <sheetgen/parameters.h>

#include <string>

namespace sheetgen {

namespace {

std::string ask_name(console& con, std::string_view prompt) {
  con.print(prompt);
  std::string_view text;
  switch (con.next_word(text)) {
    case console::word::end:
      throw error("Missing file name!");
    case console::word::too_long:
      throw error("File name too long (at most 79 characters)!");
    case console::word::ok:
      break;
  }
  // A word cut at a NUL byte may be empty now; no file has that name.
  std::string name(text);
  check_file_name(name);
  return name;
}

float ask_relsize(console& con, std::string_view prompt) {
  con.print(prompt);
  const float v = con.read_float();
  check_relsize(v);
  return v;
}

int32_t ask_int(console& con, std::string_view prompt) {
  con.print(prompt);
  return con.read_int();
}

}  // namespace

run_parameters dialogue(console& con, const std::filesystem::path& folder) {
  run_parameters p;
  p.no_instances = ask_int(con, "How many instances do you want to generate? ");
  check_instances(p.no_instances);

  p.object.length = ask_int(con, "Choose an integer length for the large object. ");
  if (p.object.length <= 0) check_object(p.object.length, 1);  // at once, before the width
  p.object.width = ask_int(con, "Choose an integer width for the large object. ");
  check_object(p.object.length, p.object.width);
  p.object.area = p.object.length * p.object.width;

  p.no_items = ask_int(con, "How many small items are to be generated per instance? ");
  check_items(p.no_items);

  p.minrelsize = ask_relsize(
      con,
      "Choose a lower bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.01). ");
  p.maxrelsize = ask_relsize(
      con,
      "Choose an upper bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.15). ");
  check_bounds(p.minrelsize, p.maxrelsize);
  derive_area_bounds(p);

  p.no_defects = ask_int(
      con,
      "How many defects per instance do you wish to generate? (NOTE: The defects might "
      "overlap, as the intention is to consider each defect as a single one and go through them "
      "one after the other!) ");
  check_defect_count(p.no_defects);

  for (int32_t k = 1; k <= p.no_defects; ++k) {
    con.print("Enter an positive integer length and width for defect no. " + std::to_string(k) +
              ", separated by a space. ");
    rectangle& d = p.defects[k - 1];
    d.length = con.read_int();
    d.width = con.read_int();
    check_defect(d, p.object);
    d.area = d.length * d.width;  // fits: no larger than the object's area
  }

  p.filename =
      ask_name(con, "Enter a name for the file to hold the instances (e.g. instances.txt). ");
  if (p.no_defects >= 1) {
    p.defectfilename =
        ask_name(con, "Enter a name for the file to hold the defects (e.g. defects.txt). ");
    // The defect pass would otherwise overwrite the instances it follows.
    if (same_file(folder, p.filename, p.defectfilename)) {
      throw error("The defect file must differ from the instance file!");
    }
  }
  p.seed = ask_int(con, "Enter an integer seed (e.g. 12): ");
  return p;
}

run_parameters read_answers(std::istream& in, std::ostream& prompts,
                            const std::filesystem::path& folder) {
  console con(in, prompts);
  return dialogue(con, folder);
}

}  // namespace sheetgen
