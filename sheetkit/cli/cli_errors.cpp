#include "cli/cli_errors.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/usage_error.h"
#include "text/suggest.h"
#include "text/text.h"

namespace sheetkit {

std::string command_path(const CLI::App& app) {
  if (app.get_parent() == nullptr) return "";
  const std::string above = command_path(*app.get_parent());
  return above.empty() ? app.get_name() : above + " " + app.get_name();
}

std::string message_prefix(const CLI::App& app) {
  const std::string path = command_path(app);
  return path.empty() ? "sheetkit: " : "sheetkit: " + path + ": ";
}

namespace {

// The validator that holds an option's choices, in its name: a
// validator's description would show in the option's type name.
constexpr std::string_view choices_name = "choices:";
constexpr char choices_separator = '|';

std::vector<std::string> choices_of(CLI::Option& option) {
  std::vector<std::string> choices;
  for (int index = 0;; ++index) {
    std::string listed;
    try {
      listed = option.get_validator(index)->get_name();
    } catch (const CLI::OptionNotFound&) {
      return choices;
    }
    if (!listed.starts_with(choices_name)) continue;
    listed.erase(0, choices_name.size());
    for (std::size_t start = 0; start <= listed.size();) {
      const std::size_t end = std::min(listed.find(choices_separator, start), listed.size());
      choices.push_back(listed.substr(start, end - start));
      start = end + 1;
    }
    return choices;
  }
}

// The command the parse went deepest into.
CLI::App& entered(CLI::App& root) {
  CLI::App* at = &root;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
  return *at;
}

std::string help_hint(const CLI::App& app) {
  const std::string path = command_path(app);
  return "sheetkit " + (path.empty() ? "" : path + " ") + "--help";
}

// "-o" where there is a short name (as README writes it), else "--to";
// "DIR" for a positional, which has neither.
std::string label(const CLI::Option& o) {
  if (!o.get_snames().empty()) return "-" + o.get_snames().front();
  if (!o.get_lnames().empty()) return "--" + o.get_lnames().front();
  return o.get_name();
}

// Every name of every option of `app`, as typed.
std::vector<std::string> option_names(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* o : app.get_options()) {
    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : o->get_snames()) names.push_back("-" + n);
  }
  return names;
}

std::vector<std::string> command_names(CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    names.push_back(sub->get_name());
  }
  return names;
}

// The option of `app` that `word` names: "--to", "--to=json", "-o".
const CLI::Option* named(const CLI::App& app, std::string_view word) {
  word = word.substr(0, word.find('='));
  for (const CLI::Option* o : app.get_options()) {
    for (const std::string& n : o->get_lnames())
      if (word == "--" + n) return o;
    for (const std::string& n : o->get_snames())
      if (word == "-" + n) return o;
  }
  return nullptr;
}

// The first word, in command-line order, that no command or option took,
// with the command it was left to.
struct stray {
  CLI::App* app;
  std::string word;
};

std::optional<stray> first_stray(CLI::App& root, int argc, const char* const* argv) {
  std::vector<std::pair<CLI::App*, std::vector<std::string>>> left;
  for (CLI::App* at = &root;;) {
    left.emplace_back(at, at->remaining());
    if (at->get_subcommands().empty()) break;
    at = at->get_subcommands().front();
  }
  for (int i = 1; i < argc; ++i) {
    for (const auto& [app, words] : left) {
      if (std::find(words.begin(), words.end(), argv[i]) != words.end()) return stray{app, argv[i]};
    }
  }
  return std::nullopt;
}

std::string stray_message(CLI::App& app, const std::string& word) {
  const std::string prefix = message_prefix(app);
  if (word.size() > 1 && word[0] == '-') {
    const std::string name = word.substr(0, word.find('='));
    // "--csv" for "--format csv".
    const std::string bare = name.substr(name.find_first_not_of('-'));
    for (CLI::Option* o : app.get_options()) {
      const std::vector<std::string> choices = choices_of(*o);
      if (std::find(choices.begin(), choices.end(), bare) != choices.end()) {
        return prefix + "unknown option " + name + "; did you mean " + label(*o) + " " + bare + "?";
      }
    }
    const std::optional<std::string> guess = nearest(name, option_names(app));
    return prefix + "unknown option " + name +
           (guess ? "; did you mean " + *guess + "?"
                  : " (" + help_hint(app) + " lists the options)");
  }
  const std::vector<std::string> commands = command_names(app);
  if (!commands.empty()) {
    std::optional<std::string> guess = nearest(word, commands);
    if (!guess && word == "help") guess = "--help";
    return prefix + "unknown command \"" + word + "\"" +
           (guess ? "; did you mean " + *guess + "?" : "; give " + one_of(commands));
  }
  return prefix + "unexpected argument \"" + word + "\" (" + help_hint(app) + " lists the options)";
}

// An option that got too many or too few values; when CLI11 ran out of
// words before the minimum, the last option named on the command line.
CLI::Option* miscounted(CLI::App& app, int argc, const char* const* argv) {
  for (CLI::Option* o : app.get_options()) {
    const auto n = static_cast<int>(o->results().size());
    if (o->get_items_expected_max() > 0 && n > 0 &&
        (n < o->get_items_expected_min() || n > o->get_items_expected_max())) {
      return o;
    }
  }
  for (int i = argc - 1; i > 0; --i) {
    if (const CLI::Option* o = named(app, argv[i])) return const_cast<CLI::Option*>(o);
  }
  return nullptr;
}

std::string count_message(CLI::Option& o) {
  const auto n = static_cast<int64_t>(o.results().size());
  if (n == 0) {
    const std::vector<std::string> choices = choices_of(o);
    return label(o) + " needs " + o.get_type_name() +
           (choices.empty() ? "" : ": " + one_of(choices));
  }
  if (o.get_items_expected_max() == 1) {
    return label(o) + " is given " + std::to_string(n) + " times; give it once";
  }
  return label(o) + " takes " + o.get_type_name() + ", not " + count_of(n, "value");
}

std::optional<std::string> excluded_message(const CLI::App& app) {
  for (const CLI::Option* o : app.get_options()) {
    for (const CLI::Option* other : o->get_excludes()) {
      if (o->count() > 0 && other->count() > 0) {
        return "give " + label(*o) + " or " + label(*other) + ", not both";
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> missing_message(CLI::App& app) {
  const std::vector<std::string> commands = command_names(app);
  if (!commands.empty()) {
    return "give a command: " + one_of(commands) + " (" + help_hint(app) + " says what each does)";
  }
  for (CLI::Option* o : app.get_options()) {
    if (o->get_required() && o->count() == 0) {
      // A positional says what it is: "give DIR (the suite's folder)".
      const std::string type = o->get_type_name();
      std::string what = o->get_description();
      if (!what.empty()) what[0] = static_cast<char>(std::tolower(what[0]));
      if (type.empty()) return "give " + label(*o) + (what.empty() ? "" : " (" + what + ")");
      const std::vector<std::string> choices = choices_of(*o);
      return "give " + label(*o) + " " + type + (choices.empty() ? "" : ": " + one_of(choices));
    }
  }
  return std::nullopt;
}

// An option that took another option of `app` as its value.
std::optional<std::string> swallowed(const CLI::App& app) {
  for (const CLI::Option* o : app.get_options()) {
    for (const std::string& value : o->results()) {
      if (value.size() > 1 && value[0] == '-' && named(app, value) != nullptr) {
        return label(*o) + " takes " + o->get_type_name() + ", not the option " +
               value.substr(0, value.find('='));
      }
    }
  }
  return std::nullopt;
}

// A value that an option's own check refused ("--jobs: takes a whole
// number from 1 to 256, not "0""), said after the option's label as the
// other mistakes are; CLI11's own checks keep their words.
std::optional<std::string> invalid_message(const CLI::App& app, const std::string& what) {
  const std::size_t colon = what.find(": takes ");
  if (colon == std::string::npos) return std::nullopt;
  const std::string name = what.substr(0, colon);
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_name() == name || o->check_name(name)) return label(*o) + what.substr(colon + 1);
  }
  return std::nullopt;
}

}  // namespace

std::string usage_message(const CLI::ParseError& e, CLI::App& root, int argc,
                          const char* const* argv) {
  CLI::App& app = entered(root);
  // The cause of what follows: words left over, a value missing.
  if (const std::optional<std::string> said = swallowed(app)) return message_prefix(app) + *said;
  if (const std::optional<stray> s = first_stray(root, argc, argv)) {
    return stray_message(*s->app, s->word);
  }
  std::optional<std::string> said;
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    if (CLI::Option* o = miscounted(app, argc, argv)) said = count_message(*o);
  } else if (dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr) {
    said = excluded_message(app);
  } else if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    said = missing_message(app);
  } else if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr) {
    said = invalid_message(app, e.what());
  }
  // Kinds no command line of ours should meet: CLI11's words, with where
  // to look.
  if (!said) said = std::string(e.what()) + " (" + help_hint(app) + " lists the options)";
  return message_prefix(app) + *said;
}

CLI::Option* with_choices(CLI::Option* option, const std::vector<std::string>& choices) {
  std::string listed(choices_name);
  for (std::size_t k = 0; k < choices.size(); ++k) {
    if (k > 0) listed += choices_separator;
    listed += choices[k];
  }
  // Checked after the parse, with a suggestion: the validator only holds them.
  return option->check(
      CLI::Validator([](const std::string&) { return std::string(); }, "", listed));
}

void check_choice(CLI::Option& option, const std::string& value) {
  const std::vector<std::string> choices = choices_of(option);
  if (std::find(choices.begin(), choices.end(), value) != choices.end()) return;
  const std::optional<std::string> guess = nearest(value, choices);
  throw usage_error(label(option) + " takes " + one_of(choices) + ", not \"" + value + "\"" +
                    (guess ? "; did you mean " + *guess + "?" : ""));
}

void check_values(const CLI::App& command) {
  if (const std::optional<std::string> said = swallowed(command)) throw usage_error(*said);
}

}  // namespace sheetkit
