// Feeds arbitrary bytes to the whole run as its answers. Files go to a
// scratch folder that is emptied after every input.
#include <sheetgen/run.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Swallows the console text: only crashes and sanitizer reports matter here.
class null_buffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  auto space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (i < s.size()) {
    while (i < s.size() && space(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !space(s[i])) ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

long long number(const std::vector<std::string_view>& w, std::size_t i) {
  if (i >= w.size()) return 0;
  try {
    return std::clamp(std::stoll(std::string(w[i])), 0LL, 1LL << 20);
  } catch (...) {
    return 0;
  }
}

// Keeps each input fast: the program allows runs of hours, the fuzzer wants
// many short ones. Only this target is limited, not the program.
bool small_enough(std::string_view input) {
  const auto w = words(input);
  const long long instances = number(w, 0);
  const long long items = number(w, 3);
  const long long defects = number(w, 6);
  return instances * (items + defects + 1) <= 2000;
}

const std::filesystem::path& scratch() {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::temp_directory_path() / "sheetgen_fuzz";
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // File names stay inside the scratch folder: no separators at all.
  if (input.find_first_of("/\\") != std::string::npos) return -1;
  if (!small_enough(input)) return -1;

  std::istringstream in(input);
  null_buffer sink;
  std::ostream out(&sink);
  sheetgen::run(in, out, scratch());

  for (const auto& entry : std::filesystem::directory_iterator(scratch())) {
    std::filesystem::remove_all(entry.path());
  }
  return 0;
}
