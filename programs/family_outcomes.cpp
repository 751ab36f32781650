// Makes family runs in memory and prints a digest of each file they
// write, so that every build (other compilers, processors, systems) can be
// held to the recorded bytes without sheetkit's libraries.
//
// usage: family_outcomes CASES_FILE
// Each line of CASES_FILE (but empty ones and those starting with #) is
// "NAME FAMILY NAME=VALUE ... [--defects LAW NAME=VALUE ...] [--instances N]
// [--seed N] [--layer K]", as sheetkit generate takes them; each prints
// "NAME instances=H defects=H values=H", H the 64-bit FNV-1a of the file's
// bytes in hex (defects=- without a defect law).
#include <sheetgen/defect_file.h>
#include <sheetgen/families.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/value_file.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct fnv {
  uint64_t h = 0xcbf29ce484222325u;
  void add(const std::string& bytes) {
    for (const char c : bytes) {
      h ^= static_cast<unsigned char>(c);
      h *= 0x100000001b3u;
    }
  }
  std::string hex() const {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
  }
};

sheetgen::parameter named(const std::string& word) {
  const std::size_t eq = word.find('=');
  if (eq == std::string::npos) throw sheetgen::error("expected NAME=VALUE, not " + word);
  return {word.substr(0, eq), word.substr(eq + 1)};
}

std::string outcome(const std::vector<std::string>& words) {
  sheetgen::family_settings s;
  s.family = words.at(1);
  std::vector<sheetgen::parameter>* into = &s.parameters;
  for (std::size_t k = 2; k < words.size(); ++k) {
    const std::string& w = words[k];
    if (w == "--defects") {
      s.defects = words.at(++k);
      into = &s.defect_parameters;
    } else if (w == "--instances") {
      s.instances = std::stoi(words.at(++k));
    } else if (w == "--seed") {
      s.seed = std::stoi(words.at(++k));
    } else if (w == "--layer") {
      s.layer = std::stoi(words.at(++k));
    } else {
      into->push_back(named(w));
    }
  }
  const sheetgen::family_run run(s);
  fnv items, defects, values;
  sheetgen::family_instance in;
  std::string text;
  for (int32_t n = 1; n <= run.settings().instances; ++n) {
    run.make(n, in);
    text.clear();
    sheetgen::append_item_block(in.items, text);
    items.add(text);
    text.clear();
    sheetgen::append_defect_block(in.defects, text);
    defects.add(text);
    text.clear();
    sheetgen::append_value_block(in.values, in.copies, text);
    values.add(text);
  }
  return words[0] + " instances=" + items.hex() +
         " defects=" + (run.has_defects() ? defects.hex() : "-") + " values=" + values.hex();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: family_outcomes CASES_FILE\n";
    return 2;
  }
  std::ifstream cases(argv[1]);
  if (!cases) {
    std::cerr << "family_outcomes: cannot read " << argv[1] << '\n';
    return 2;
  }
  std::string line;
  int status = 0;
  while (std::getline(cases, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream split(line);
    std::vector<std::string> words;
    for (std::string w; split >> w;) words.push_back(w);
    try {
      std::cout << outcome(words) << '\n';
    } catch (const std::exception& e) {
      std::cout << words[0] << " error: " << e.what() << '\n';
      status = 1;
    }
  }
  return std::cout.flush() ? status : 1;
}
