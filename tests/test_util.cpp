#include "test_util.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "driver.h"

namespace sheetgen::testing {

scratch_folder::scratch_folder() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("sheetgen_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

scratch_folder::~scratch_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string scratch_folder::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void scratch_folder::write(const std::string& name, const std::string& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

run_result run_with(const std::string& answers, const std::filesystem::path& folder) {
  std::istringstream in(answers);
  std::ostringstream out;
  const int status = run(in, out, folder);
  return {status, out.str()};
}

std::string answers::text() const {
  std::ostringstream s;
  s << instances << '\n'
    << length << '\n'
    << width << '\n'
    << items << '\n'
    << minrel << '\n'
    << maxrel << '\n'
    << defects.size() << '\n';
  for (const auto& [l, w] : defects) s << l << ' ' << w << '\n';
  s << instancefile << '\n';
  if (!defects.empty()) s << defectfile << '\n';
  s << seed << '\n' << "0\n";
  return s.str();
}

std::string line(std::initializer_list<long long> numbers) {
  std::string s;
  for (long long n : numbers) {
    if (!s.empty()) s += '\t';
    s += std::to_string(n) + ".000000";
  }
  return s + '\n';
}

}  // namespace sheetgen::testing
