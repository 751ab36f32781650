#include "suites/suite_definition.h"

#include <sheetgen/answers.h>
#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "families/recipe.h"
#include "files/source.h"
#include "suites/json_places.h"
#include "suites/suite_files.h"
#include "text/suggest.h"

namespace sheetkit {

std::string suite_class::answers(int32_t seed) const {
  std::string text;
  for (const int32_t n : {instances, length, width, item_types}) text += std::to_string(n) + "\n";
  text += lower + "\n" + upper + "\n" + std::to_string(defects.size()) + "\n";
  for (const auto& [l, w] : defects) text += std::to_string(l) + " " + std::to_string(w) + "\n";
  text += std::string(suite_files::instances) + "\n";
  if (!defects.empty()) text += std::string(suite_files::defects) + "\n";
  return text + std::to_string(seed) + "\n0\n";
}

std::string suite_class::defect_sizes() const {
  std::string text;
  for (const auto& [l, w] : defects) {
    if (!text.empty()) text += ' ';
    text += std::to_string(l);
    text += 'x';
    text += std::to_string(w);
  }
  return text.empty() ? "-" : text;
}

namespace {

// "name=value name=value", as a recipe writes parameters.
std::string words(const std::vector<sheetgen::parameter>& parameters) {
  std::string text;
  for (const auto& [name, value] : parameters) {
    if (!text.empty()) text += ' ';
    text += name + "=" + value;
  }
  return text;
}

}  // namespace

sheetgen::family_settings suite_class::settings(int32_t seed) const {
  sheetgen::family_settings s = *family;
  s.seed = seed;
  return s;
}

const char* suite_class::source_file() const {
  return family ? suite_files::recipe : suite_files::answers;
}

std::string suite_class::source(int32_t seed) const {
  if (!family) return answers(seed);
  recipe r;
  r.settings = settings(seed);
  return recipe_text(r);
}

bool suite_class::has_defect_file() const { return family ? family_defects : !defects.empty(); }

std::string suite_class::manifest_columns() const {
  std::string text;
  for (const int32_t n : {instances, length, width, item_types}) text += std::to_string(n) + "\t";
  if (!family) return text + lower + "\t" + upper + "\t" + defect_sizes();
  // The defect law as the recipe gives it, and the layer kept of it.
  std::string law = !family->defects.empty() ? family->defects : family_defects ? "own" : "-";
  if (!family->defect_parameters.empty()) law += " " + words(family->defect_parameters);
  if (family->layer >= 0) law += " layer=" + std::to_string(family->layer);
  return text + "-\t-\t" + law;
}

std::string suite_class::law() const {
  if (!family) return "dialogue";
  return family->family + (family->parameters.empty() ? "" : " " + words(family->parameters));
}

bool suite_definition::has_families() const {
  return std::any_of(classes.begin(), classes.end(),
                     [](const suite_class& c) { return c.family.has_value(); });
}

namespace {

using json = nlohmann::json;

constexpr int64_t largest_seed = std::numeric_limits<int32_t>::max();

bool is_index(std::string_view step) {
  return !step.empty() &&
         std::all_of(step.begin(), step.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool safe_name(std::string_view name) {
  const auto safe = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  };
  return !name.empty() && name.size() <= 200 && name.front() != '.' &&
         std::all_of(name.begin(), name.end(), safe);
}

// Whether `text` (UTF-8, as nlohmann-json has checked) holds a C0 or C1
// control, DEL, or a bidirectional override or isolate (U+202A-U+202E,
// U+2066-U+2069): each would reach the terminal, the manifest and the page
// and change how they read.
bool has_controls(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = [&](std::size_t k) {
      return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    if (b < 0x20 || b == 0x7f) return true;
    if (b == 0xc2 && next(1) >= 0x80 && next(1) <= 0x9f) return true;  // U+0080-U+009F
    if (b == 0xe2 && next(1) == 0x80 && next(2) >= 0xaa && next(2) <= 0xae) return true;
    if (b == 0xe2 && next(1) == 0x81 && next(2) >= 0xa6 && next(2) <= 0xa9) return true;
  }
  return false;
}

// A literal quoted in a message: its start, so that a megabyte of digits
// does not become a megabyte of message.
std::string cut(std::string_view text) {
  constexpr std::size_t shown = 40;
  return text.size() <= shown ? std::string(text) : std::string(text.substr(0, shown)) + "...";
}

// The offset of the first number outside strings that a double cannot
// hold, which nlohmann-json refuses without saying where; npos when none.
std::size_t number_beyond_double(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) i += text[i] == '\\' ? 1 : 0;
      continue;
    }
    if (text[i] != '-' && (text[i] < '0' || text[i] > '9')) continue;
    std::size_t end = i;
    while (end < text.size() &&
           std::string_view("0123456789+-.eE").find(text[end]) != std::string_view::npos) {
      ++end;
    }
    const std::string number(text.substr(i, end - i));
    if (!std::isfinite(std::strtod(number.c_str(), nullptr))) return i;
    i = end - 1;
  }
  return std::string_view::npos;
}

// Reads one suite file; every fault throws from fail(), placed by the value's
// JSON pointer.
class definition_reader {
 public:
  definition_reader(const std::string& file, std::string_view text,
                    const std::filesystem::path& dir)
      : file_(file), text_(text), dir_(dir) {}

  suite_definition read() {
    parse();
    try {
      places_.emplace(text_);
    } catch (const sheetgen::error& e) {
      throw sheetgen::error(file_ + ":" + e.what());
    }
    if (places_->repeated_key()) {
      const std::string& repeat = *places_->repeated_key();
      fail(places_->key(repeat), context(repeat), "given twice");
    }
    if (!doc_.is_object()) {
      fail("",
           "expected an object with the fields suite, seeds and classes, not " + kind(doc_, ""));
    }
    only_fields(doc_, "", {"suite", "seeds", "complete", "classes"});

    suite_definition suite;
    suite.name = string_field(doc_, "", "suite");
    if (suite.name.empty() || has_controls(suite.name)) {
      fail("/suite", "a name without tabs, line breaks or other control characters, not empty");
    }
    const bool complete = flag(doc_, "", "complete");
    const json& classes = required(doc_, "", "classes");
    if (!classes.is_array() || classes.empty()) {
      fail("/classes", "expected a list of classes, not " + kind(classes, "/classes"));
    }
    std::set<std::string> names;
    int64_t sets = 0;
    for (std::size_t i = 0; i < classes.size(); ++i) {
      const std::string pointer = json_places::child("/classes", i);
      const bool family = classes[i].is_object() && classes[i].contains("family");
      std::vector<suite_class> read;
      if (family) {
        read = read_family_class(classes[i], pointer);
      } else {
        read.push_back(read_class(classes[i], pointer, complete));
      }
      for (suite_class& c : read) {
        if (!names.insert(c.name).second) {
          fail(pointer + "/name", family && c.family->layer >= 0
                                      ? "its layer's folder " + c.name + " is another class's"
                                      : "a second class of this name");
        }
        sets += c.complete ? c.count : static_cast<int64_t>(c.seeds.size());
        if (sets > max_suite_sets) {
          fail(seeds_pointer(classes[i], pointer),
               "more than " + std::to_string(max_suite_sets) + " sets in the suite");
        }
        suite.classes.push_back(std::move(c));
      }
    }
    if (doc_.contains("seeds") && std::all_of(classes.begin(), classes.end(),
                                              [](const json& c) { return c.contains("seeds"); })) {
      fail("/seeds", "not used: every class gives its own seeds");
    }
    return suite;
  }

 private:
  void parse() {
    // nlohmann-json stops at a NUL byte and takes what stands before it.
    const std::size_t nul = text_.find('\0');
    if (nul != std::string_view::npos) fail(nul, "", "not JSON: a NUL byte");
    try {
      doc_ = json::parse(text_);
    } catch (const json::parse_error& e) {
      // "[json.exception.parse_error.101] parse error at line 1, column 5: WHAT"
      std::string what = e.what();
      const std::size_t column = what.find(", column ");
      const std::size_t detail = column == std::string::npos ? column : what.find(": ", column);
      what = detail == std::string::npos ? what : what.substr(detail + 2);
      // "...; last read: 'TOKEN'": a token may be as long as the file.
      const std::size_t last = what.find("last read: '");
      if (last != std::string::npos && what.ends_with("'")) {
        const std::size_t from = last + 12;
        what = what.substr(0, from) + cut(what.substr(from, what.size() - 1 - from)) + "'";
      }
      // e.byte counts the bytes read: the last one is where it failed.
      const std::size_t at = e.byte == 0 ? 0 : e.byte - 1;
      // The bytes last read are quoted as they came.
      fail(at, "", "not JSON: " + sheetgen::visible_bytes(what));
    } catch (const json::out_of_range&) {
      // A number too large for a double, such as 1e999.
      std::size_t at = number_beyond_double(text_);
      if (at == std::string_view::npos) at = 0;
      std::size_t end = at;
      while (end < text_.size() &&
             std::string_view("0123456789+-.eE").find(text_[end]) != std::string_view::npos) {
        ++end;
      }
      fail(at, "", "number too large: " + cut(text_.substr(at, end - at)));
    }
  }

  [[noreturn]] void fail(std::size_t offset, const std::string& where,
                         const std::string& message) const {
    throw sheetgen::error(file_ + ":" + json_places::line_column(text_, offset) + ": " +
                          (where.empty() ? "" : where + ": ") + message);
  }
  [[noreturn]] void fail(const std::string& pointer, const std::string& message) const {
    fail(places_->value(pointer), context(pointer), message);
  }

  // A pointer as a person reads it: `class "sheet", defects[1][0]`, `seeds.first`.
  std::string context(const std::string& pointer) const {
    std::vector<std::string> steps;
    for (std::size_t at = 1; at <= pointer.size();) {
      const std::size_t end = std::min(pointer.find('/', at), pointer.size());
      std::string step = pointer.substr(at, end - at);
      for (std::size_t t = step.find('~'); t != std::string::npos; t = step.find('~', t + 1)) {
        step.replace(t, 2, step[t + 1] == '1' ? "/" : "~");
      }
      steps.push_back(step);
      at = end + 1;
    }
    std::string text;
    std::size_t first = 0;
    if (steps.size() >= 2 && steps[0] == "classes" && is_index(steps[1])) {
      text = "class " + class_label(std::stoul(steps[1]));
      first = 2;
      if (steps.size() > 2) text += ", ";
    }
    for (std::size_t i = first; i < steps.size(); ++i) {
      if (i > first && is_index(steps[i])) {
        text += "[" + steps[i] + "]";
      } else {
        text += (i > first ? "." : "") + steps[i];
      }
    }
    return text;
  }

  // A class by its name, once it has a sound one; else by its place, from 1.
  std::string class_label(std::size_t index) const {
    const json& c = doc_["classes"][index];
    if (c.is_object()) {
      const auto name = c.find("name");
      if (name != c.end() && name->is_string() && safe_name(name->get<std::string>())) {
        return "\"" + name->get<std::string>() + "\"";
      }
    }
    return std::to_string(index + 1);
  }

  // What a value is, for "expected ..., not KIND".
  std::string kind(const json& v, const std::string& pointer) const {
    if (v.is_string()) return "a string";
    if (v.is_object()) return "an object";
    if (v.is_array()) return "a list";
    return cut(places_->raw(pointer));  // a number, true, false or null as written
  }

  void only_fields(const json& object, const std::string& pointer,
                   std::initializer_list<std::string_view> fields) const {
    for (const auto& [key, value] : object.items()) {
      if (std::find(fields.begin(), fields.end(), key) != fields.end()) continue;
      std::string known;
      for (const std::string_view f : fields) known += (known.empty() ? "" : ", ") + std::string(f);
      const std::optional<std::string> guess =
          nearest(key, std::vector<std::string>(fields.begin(), fields.end()));
      const std::string inner = json_places::child(pointer, key);
      fail(places_->key(inner), context(inner),
           "unknown field" + (guess ? "; did you mean " + *guess + "?" : "") + " (known: " + known +
               ")");
    }
  }

  const json& required(const json& object, const std::string& pointer, const char* key) const {
    const auto v = object.find(key);
    if (v == object.end()) fail(pointer, std::string("no \"") + key + "\" given");
    return *v;
  }

  std::string string_field(const json& object, const std::string& pointer, const char* key) const {
    const json& v = required(object, pointer, key);
    const std::string inner = json_places::child(pointer, key);
    if (!v.is_string()) fail(inner, "expected a string, not " + kind(v, inner));
    return v.get<std::string>();
  }

  bool flag(const json& object, const std::string& pointer, const char* key,
            bool otherwise = false) const {
    const auto v = object.find(key);
    if (v == object.end()) return otherwise;
    const std::string inner = json_places::child(pointer, key);
    if (!v->is_boolean()) fail(inner, "expected true or false, not " + kind(*v, inner));
    return v->get<bool>();
  }

  // An integer's digits as written, for the dialogue to read.
  std::string integer(const json& v, const std::string& pointer) const {
    if (!v.is_number_integer()) fail(pointer, "expected an integer, not " + kind(v, pointer));
    return std::string(places_->raw(pointer));
  }

  std::string bound(const json& object, const std::string& pointer, const char* key) const {
    const json& v = required(object, pointer, key);
    const std::string inner = json_places::child(pointer, key);
    if (v.is_number()) {
      fail(inner, "use \"" + cut(places_->raw(inner)) +
                      "\", a string: the dialogue reads a bound's decimal text, which a JSON "
                      "number does not keep");
    }
    if (!v.is_string()) fail(inner, "expected a string such as \"0.1\", not " + kind(v, inner));
    const std::string text = v.get<std::string>();
    // Answers are words: a space would split the bound into two answers.
    if (text.empty() || std::any_of(text.begin(), text.end(), [](char c) {
          return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
        })) {
      fail(inner, "a bound is one word, such as \"0.1\", without spaces or control characters");
    }
    return text;
  }

  static std::string seeds_pointer(const json& c, const std::string& pointer) {
    return c.contains("seeds") ? pointer + "/seeds" : "/seeds";
  }

  // The answers of class `pointer` with the seed written as `seed`, read as
  // sheetgen reads them; a refused answer fails at its field.
  sheetgen::run_parameters check_answers(const std::string& pointer, const std::string& text,
                                         const std::string& seed_pointer) const {
    std::istringstream in(text);
    try {
      return read_answers_quietly(in, dir_);
    } catch (const sheetgen::answer_error& e) {
      std::string field;
      switch (e.question()) {
        using q = sheetgen::question;
        case q::instances:
          field = pointer + "/instances";
          break;
        case q::object_length:
          field = pointer + "/length";
          break;
        case q::object_width:
          field = pointer + "/width";
          break;
        case q::item_types:
          field = pointer + "/item_types";
          break;
        case q::lower_bound:
          field = pointer + "/lower";
          break;
        case q::upper_bound:
          field = pointer + "/upper";
          break;
        case q::defects:
          field = pointer + "/defects";
          break;
        case q::defect_length:
        case q::defect_width:
          field =
              json_places::child(pointer + "/defects", static_cast<std::size_t>(e.defect() - 1)) +
              (e.question() == q::defect_length ? "/0" : "/1");
          break;
        case q::seed:
          field = seed_pointer;
          break;
        default:
          field = pointer;
          break;  // the file names, which are ours
      }
      std::string message = e.what();
      while (!message.empty() && message.back() == '\n') message.pop_back();
      // A seed given for the whole suite is named in the class that reads it.
      const std::string where = seed_pointer.rfind("/seeds", 0) == 0 && field == seed_pointer
                                    ? context(pointer) + ", " + context(field)
                                    : context(field);
      fail(places_->value(field), where, message);
    }
  }

  // The class's name, checked as the folder it becomes.
  std::string class_name(const json& c, const std::string& pointer) const {
    const std::string name = string_field(c, pointer, "name");
    if (!safe_name(name)) {
      fail(pointer + "/name",
           "a class's name is its folder's: letters, digits, '.', '_' and '-', not starting "
           "with '.'");
    }
    if (suite_files::collides(name)) {
      fail(pointer + "/name", "\"" + name +
                                  "\" is the name of a file the suite writes beside "
                                  "its class folders; give the class another name");
    }
    return name;
  }

  // The class's answers up to the seed, as sheetgen reads them; the bounds
  // are kept in `out` as written.
  std::string answers_before_seed(const json& c, const std::string& pointer,
                                  suite_class& out) const {
    std::string text;
    for (const char* key : {"instances", "length", "width", "item_types"}) {
      text += integer(required(c, pointer, key), pointer + "/" + key) + "\n";
    }
    out.lower = bound(c, pointer, "lower");
    out.upper = bound(c, pointer, "upper");
    text += out.lower + "\n" + out.upper + "\n";
    std::string defect_lines;
    std::size_t defect_count = 0;
    if (c.contains("defects")) {
      const std::string list = pointer + "/defects";
      const json& defects = c["defects"];
      if (!defects.is_array())
        fail(list, "expected a list of [length, width], not " + kind(defects, list));
      for (std::size_t k = 0; k < defects.size(); ++k) {
        const std::string one = json_places::child(list, k);
        if (!defects[k].is_array() || defects[k].size() != 2) {
          fail(one, "expected [length, width], not " + kind(defects[k], one));
        }
        defect_lines +=
            integer(defects[k][0], one + "/0") + " " + integer(defects[k][1], one + "/1") + "\n";
      }
      defect_count = defects.size();
    }
    return text + std::to_string(defect_count) + "\n" + defect_lines + suite_files::instances +
           "\n" + (defect_count > 0 ? std::string(suite_files::defects) + "\n" : "");
  }

  // The class's seeds (its own, or the suite's) into `out`: a list, or
  // first and count. `answers`: the answers before the seed, for the
  // dialogue's own message on a seed it refuses.
  void read_seeds(const json& c, const std::string& pointer, const std::string& answers,
                  suite_class& out) const {
    const std::string seeds = seeds_pointer(c, pointer);
    if (!c.contains("seeds") && !doc_.contains("seeds")) {
      fail(pointer, "no \"seeds\" given, in the class or for the whole suite");
    }
    // Checks a seed; its value once the dialogue has read it.
    const auto seed = [&](const json& v, const std::string& at) {
      const std::string digits = integer(v, at);
      const int64_t value = v.is_number_unsigned() && v.get<uint64_t>() > uint64_t{largest_seed}
                                ? largest_seed + 1
                                : v.get<int64_t>();
      if (out.family && (value < 0 || value > largest_seed)) {
        fail(at, "seed " + cut(digits) + " is out of range for a family: 0 to " +
                     std::to_string(largest_seed));
      }
      if (value < std::numeric_limits<int32_t>::min() || value > largest_seed) {
        check_answers(pointer, answers + digits + "\n0\n", at);  // the dialogue's own message
      }
      return static_cast<int32_t>(value);
    };
    const json& given = c.contains("seeds") ? c["seeds"] : doc_["seeds"];
    if (given.is_array()) {
      if (out.complete) {
        fail(seeds,
             "with \"complete\", give {\"first\": ..., \"count\": ...}: seeds are taken in "
             "order until that many runs complete");
      }
      if (given.empty()) fail(seeds, "give at least one seed");
      std::set<int32_t> seen;
      for (std::size_t k = 0; k < given.size(); ++k) {
        const std::string at = json_places::child(seeds, k);
        const int32_t s = seed(given[k], at);
        if (!seen.insert(s).second) fail(at, "seed " + std::to_string(s) + " is given twice");
        out.seeds.push_back(s);
      }
      return;
    }
    if (!given.is_object()) {
      fail(seeds, "expected a list of seeds or {\"first\": ..., \"count\": ...}, not " +
                      kind(given, seeds));
    }
    only_fields(given, seeds, {"first", "count"});
    out.first = seed(required(given, seeds, "first"), seeds + "/first");
    const json& count = required(given, seeds, "count");
    const std::string count_at = seeds + "/count";
    integer(count, count_at);
    // Positive JSON integers are unsigned to nlohmann-json.
    if (count.is_number_unsigned() && count.get<uint64_t>() > uint64_t{max_suite_sets}) {
      fail(count_at, "more than " + std::to_string(max_suite_sets) + " sets in the suite");
    }
    out.count = count.get<int64_t>();
    if (out.count < 1) fail(count_at, "at least 1");
    const int64_t last = int64_t{out.first} + out.count - 1;
    if (!out.complete && last > largest_seed) {
      fail(count_at, "the last seed would be " + std::to_string(last) + ", beyond the largest, " +
                         std::to_string(largest_seed));
    }
    if (!out.complete) {
      for (int64_t s = out.first; s <= last; ++s) out.seeds.push_back(static_cast<int32_t>(s));
    }
  }

  suite_class read_class(const json& c, const std::string& pointer, bool complete_default) const {
    if (!c.is_object()) fail(pointer, "expected an object, not " + kind(c, pointer));
    suite_class out;
    out.name = class_name(c, pointer);
    only_fields(c, pointer,
                {"name", "length", "width", "instances", "item_types", "lower", "upper", "defects",
                 "seeds", "complete"});
    const std::string text = answers_before_seed(c, pointer, out);
    out.complete = flag(c, pointer, "complete", complete_default);
    read_seeds(c, pointer, text, out);

    const int32_t first_seed = out.complete ? out.first : out.seeds.front();
    const sheetgen::run_parameters p = check_answers(
        pointer, text + std::to_string(first_seed) + "\n0\n", seeds_pointer(c, pointer));
    // The dialogue takes a negative count as none; in a suite it is a slip.
    if (p.no_instances < 0) fail(pointer + "/instances", "must not be negative");
    if (p.no_items < 0) fail(pointer + "/item_types", "must not be negative");
    out.instances = p.no_instances;
    out.length = p.object.length;
    out.width = p.object.width;
    out.item_types = p.no_items;
    for (int32_t k = 0; k < p.no_defects; ++k) {
      out.defects.emplace_back(p.defects[static_cast<std::size_t>(k)].length,
                               p.defects[static_cast<std::size_t>(k)].width);
    }
    return out;
  }

  // A parameter's value as text: a string as it is, a number as written.
  std::string parameter_text(const json& v, const std::string& pointer) const {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number()) return std::string(places_->raw(pointer));
    fail(pointer, "expected a number or a string, not " + kind(v, pointer));
  }

  // The parameters of object `pointer` (but those in `skip`), in the
  // file's order.
  std::vector<sheetgen::parameter> parameters(const json& object, const std::string& pointer,
                                              std::string_view skip = {}) const {
    if (!object.is_object()) fail(pointer, "expected an object, not " + kind(object, pointer));
    std::vector<sheetgen::parameter> out;
    for (const auto& [key, value] : object.items()) {
      if (key == skip) continue;
      out.emplace_back(key, parameter_text(value, json_places::child(pointer, key)));
    }
    // nlohmann-json's objects are sorted by key: the file's order is the places'.
    std::sort(out.begin(), out.end(), [&](const auto& a, const auto& b) {
      return places_->key(json_places::child(pointer, a.first)) <
             places_->key(json_places::child(pointer, b.first));
    });
    return out;
  }

  // Fails at the field the family's message is about: a parameter of
  // `object` when it names one (its name when unknown, else its value),
  // else `otherwise`.
  [[noreturn]] void fail_family(const sheetgen::error& e, const std::string& object,
                                const std::vector<sheetgen::parameter>& given,
                                const std::string& otherwise) const {
    const std::string message = e.what();
    for (const auto& [name, value] : given) {
      const std::string at = json_places::child(object, name);
      if (message.find("no parameter \"" + name + "\"") != std::string::npos) {
        fail(places_->key(at), context(at), message);
      }
      if (message.find(": " + name + " ") != std::string::npos) fail(at, message);
    }
    fail(otherwise, message);
  }

  // A class that names a family: one class, or one per layer, named
  // NAME.dK, each with the same seeds (and so the same items).
  std::vector<suite_class> read_family_class(const json& c, const std::string& pointer) const {
    suite_class out;
    out.name = class_name(c, pointer);
    only_fields(
        c, pointer,
        {"name", "family", "parameters", "instances", "defects", "layers", "seeds", "complete"});
    if (flag(c, pointer, "complete")) {
      fail(pointer + "/complete", "a family's runs always complete: leave \"complete\" out");
    }
    sheetgen::family_settings s;
    s.family = string_field(c, pointer, "family");
    const std::string params = pointer + "/parameters";
    if (c.contains("parameters")) s.parameters = parameters(c["parameters"], params);
    const std::string instances = pointer + "/instances";
    integer(required(c, pointer, "instances"), instances);
    const json& n = c["instances"];
    if (n.is_number_unsigned() ? n.get<uint64_t>() > uint64_t{sheetgen::MAXMOD}
                               : n.get<int64_t>() < 1) {
      fail(instances, "instances " + cut(places_->raw(instances)) + " is out of range: 1 to " +
                          std::to_string(sheetgen::MAXMOD));
    }
    s.instances = n.get<int32_t>();
    // The items first, so that a fault of the family is told before the defects'.
    try {
      sheetgen::family_run{s};
    } catch (const sheetgen::error& e) {
      if (std::string(e.what()).starts_with("unknown family")) fail(pointer + "/family", e.what());
      fail_family(e, params, s.parameters, c.contains("parameters") ? params : pointer);
    }
    const std::string law = pointer + "/defects";
    if (c.contains("defects")) {
      const json& d = c["defects"];
      if (!d.is_object()) {
        fail(law, "expected {\"law\": ..., and its parameters}, not " + kind(d, law));
      }
      s.defects = string_field(d, law, "law");
      s.defect_parameters = parameters(d, law, "law");
      try {
        sheetgen::family_run{s};
      } catch (const sheetgen::error& e) {
        if (std::string(e.what()).starts_with("unknown defect law")) fail(law + "/law", e.what());
        fail_family(e, law, s.defect_parameters, law);
      }
    }
    const sheetgen::family_run run(s);
    out.family = run.settings();
    out.family->seed = 0;
    out.family_defects = run.has_defects();
    out.instances = s.instances;
    out.length = run.object().length;
    out.width = run.object().width;
    for (const auto& [name, value] : out.family->parameters)
      if (name == "items") out.item_types = static_cast<int32_t>(std::stol(value));
    out.lower = out.upper = "-";
    read_seeds(c, pointer, "", out);
    if (!c.contains("layers")) return {out};

    const std::string layers = pointer + "/layers";
    const json& given = c["layers"];
    if (!given.is_array() || given.empty())
      fail(layers,
           "expected a list of defect counts such as [0, 1, 2], not " + kind(given, layers));
    if (!c.contains("defects"))
      fail(layers, "layers keep the first defects of a defect law: give \"defects\"");
    // The most defects the law draws, where it says: more would repeat the last layer.
    std::optional<int64_t> most;
    for (const auto& [name, value] : out.family->defect_parameters) {
      if (out.family->defects == "separate" && name == "count") most = std::stol(value);
      if (out.family->defects == "sizes" && name == "sizes")
        most = static_cast<int64_t>(sheetgen::parse_sizes(value).size());
      if (out.family->defects == "points" && name == "high") most = std::stol(value);
    }
    std::vector<suite_class> classes;
    int64_t before = -1;
    for (std::size_t k = 0; k < given.size(); ++k) {
      const std::string at = json_places::child(layers, k);
      integer(given[k], at);
      const int64_t layer =
          given[k].is_number_unsigned() && given[k].get<uint64_t>() > uint64_t{sheetgen::MAXDEF}
              ? int64_t{sheetgen::MAXDEF} + 1
              : given[k].get<int64_t>();
      if (layer < 0 || layer > sheetgen::MAXDEF)
        fail(at, "a layer is a defect count from 0 to " + std::to_string(sheetgen::MAXDEF));
      if (most && layer > *most) {
        fail(at, "layer " + std::to_string(layer) + " keeps more defects than the law draws (" +
                     std::to_string(*most) + ")");
      }
      if (layer <= before) fail(at, "the layers are counts in increasing order, each once");
      before = layer;
      suite_class one = out;
      one.family->layer = static_cast<int32_t>(layer);
      one.name = out.name + ".d" + std::to_string(layer);
      if (!safe_name(one.name) || suite_files::collides(one.name)) {
        fail(pointer + "/name", "its layer's folder " + cut(one.name) +
                                    " is not a class folder's name; give the class a shorter one");
      }
      classes.push_back(std::move(one));
    }
    return classes;
  }

  const std::string& file_;
  std::string_view text_;
  std::filesystem::path dir_;
  json doc_;
  std::optional<json_places> places_;
};

}  // namespace

suite_definition read_suite_definition(const std::string& file, std::string_view text,
                                       const std::filesystem::path& dir) {
  return definition_reader(file, text, dir).read();
}

}  // namespace sheetkit
