#include "dialogue.h"

#include <sheetgen/answers.h>
#include <sheetgen/parameters.h>

#include <ostream>
#include <sstream>
#include <string>

namespace sheetgen {

namespace {

// A word too long to read whole is longer than any name, so the name check
// refuses it with its own message.
static_assert(MAXNAME < console::max_word);

// The question an answer belongs to.
struct asking {
  question asked;
  int32_t defect = 0;  // for the defect questions, from 1
};

// Gives an error that `step` throws the place of the answer just read.
template <typename Step>
auto answering(console& con, asking q, Step step) {
  try {
    return step();
  } catch (const answer_error&) {
    throw;
  } catch (const error& e) {
    throw answer_error(e, con.word_line(), q.asked, q.defect);
  }
}

std::string ask_name(console& con, std::string_view prompt, question asked) {
  con.print(prompt);
  return answering(con, {asked}, [&] {
    std::string_view text;
    // The end of the input leaves no name; a word cut at a NUL byte may be
    // empty now too, and no file has that name.
    con.next_word(text);
    std::string name(text);
    check_file_name(name);
    return name;
  });
}

float ask_relsize(console& con, std::string_view prompt, question asked) {
  con.print(prompt);
  return answering(con, {asked}, [&] {
    const float v = con.read_float();
    check_relsize(v);
    return v;
  });
}

int32_t ask_int(console& con, std::string_view prompt, question asked) {
  con.print(prompt);
  return answering(con, {asked}, [&] { return con.read_int(); });
}

// Both sides are read before either is checked, as they share one prompt;
// a check then names the side at fault.
void ask_defect(console& con, int32_t k, rectangle& d, const rectangle& object) {
  con.print("Enter an positive integer length and width for defect no. " + std::to_string(k) +
            ", separated by a space. ");
  d.length = answering(con, {question::defect_length, k}, [&] { return con.read_int(); });
  const int64_t length_line = con.word_line();
  d.width = answering(con, {question::defect_width, k}, [&] { return con.read_int(); });
  try {
    check_defect(d, object);
  } catch (const error& e) {
    const bool length_at_fault = d.length <= 0 || (d.width > 0 && d.length > object.length);
    if (length_at_fault) throw answer_error(e, length_line, question::defect_length, k);
    throw answer_error(e, con.word_line(), question::defect_width, k);
  }
  d.area = d.length * d.width;  // fits: no larger than the object's area
}

}  // namespace

std::string answer_error::question_name() const {
  switch (question_) {
    case question::instances:
      return "the number of instances";
    case question::object_length:
      return "the object's length";
    case question::object_width:
      return "the object's width";
    case question::item_types:
      return "the number of item types";
    case question::lower_bound:
      return "the lower bound";
    case question::upper_bound:
      return "the upper bound";
    case question::defects:
      return "the number of defects";
    case question::defect_length:
      return "defect " + std::to_string(defect_) + "'s length";
    case question::defect_width:
      return "defect " + std::to_string(defect_) + "'s width";
    case question::instance_file:
      return "the instance file name";
    case question::defect_file:
      return "the defect file name";
    case question::seed:
      return "the seed";
  }
  return "an answer";
}

std::string answer_error::located(std::string_view file) const {
  std::string message = what();
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return std::string(file) + ":" + std::to_string(line_) + ": " + question_name() + ": " + message;
}

run_parameters dialogue(console& con, const std::filesystem::path& folder) {
  run_parameters p;
  p.no_instances =
      ask_int(con, "How many instances do you want to generate? ", question::instances);
  answering(con, {question::instances}, [&] { check_instances(p.no_instances); });

  p.object.length =
      ask_int(con, "Choose an integer length for the large object. ", question::object_length);
  // At once, before the width.
  answering(con, {question::object_length}, [&] {
    if (p.object.length <= 0) check_object(p.object.length, 1);
  });
  p.object.width =
      ask_int(con, "Choose an integer width for the large object. ", question::object_width);
  answering(con, {question::object_width}, [&] { check_object(p.object.length, p.object.width); });
  p.object.area = p.object.length * p.object.width;

  p.no_items =
      ask_int(con, "How many small items are to be generated per instance? ", question::item_types);
  answering(con, {question::item_types}, [&] { check_items(p.no_items); });

  p.minrelsize = ask_relsize(
      con,
      "Choose a lower bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.01). ",
      question::lower_bound);
  p.maxrelsize = ask_relsize(
      con,
      "Choose an upper bound for the relative size of the item types w.r.t. the size of the large "
      "object between 0 and 1 (e.g. 0.15). ",
      question::upper_bound);
  answering(con, {question::upper_bound}, [&] { check_bounds(p.minrelsize, p.maxrelsize); });
  derive_area_bounds(p);

  p.no_defects = ask_int(
      con,
      "How many defects per instance do you wish to generate? (NOTE: The defects might "
      "overlap, as the intention is to consider each defect as a single one and go through them "
      "one after the other!) ",
      question::defects);
  answering(con, {question::defects}, [&] { check_defect_count(p.no_defects); });

  for (int32_t k = 1; k <= p.no_defects; ++k) ask_defect(con, k, p.defects[k - 1], p.object);

  p.filename =
      ask_name(con, "Enter a name for the file to hold the instances (e.g. instances.txt). ",
               question::instance_file);
  if (p.no_defects >= 1) {
    p.defectfilename =
        ask_name(con, "Enter a name for the file to hold the defects (e.g. defects.txt). ",
                 question::defect_file);
    // The defect pass would otherwise overwrite the instances it follows.
    answering(con, {question::defect_file}, [&] {
      if (same_file(folder, p.filename, p.defectfilename)) {
        throw error("The defect file must differ from the instance file!");
      }
    });
  }
  p.seed = ask_int(con, "Enter an integer seed (e.g. 12): ", question::seed);
  return p;
}

run_parameters read_answers(std::istream& in, std::ostream& prompts,
                            const std::filesystem::path& folder) {
  console con(in, prompts);
  return dialogue(con, folder);
}

namespace {

// One answer through the dialogue's own reading: the console that reads
// the answers, on the answer's text alone.
template <typename Read>
auto read_alone(std::string_view answer, Read read) {
  std::istringstream in{std::string(answer)};
  std::ostream no_prompts(nullptr);
  console con(in, no_prompts);
  const auto value = read(con);
  con.read_end();
  return value;
}

}  // namespace

int32_t parse_int_answer(std::string_view answer) {
  return read_alone(answer, [](console& con) { return con.read_int(); });
}

float parse_float_answer(std::string_view answer) {
  return read_alone(answer, [](console& con) { return con.read_float(); });
}

}  // namespace sheetgen
