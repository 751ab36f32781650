#include "test_util.h"

#include <sheetgen/run.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

run_parameters answers::parameters() const {
  run_parameters p;
  p.no_instances = instances;
  p.object = rectangle::of(length, width);
  p.no_items = items;
  p.minrelsize = std::stof(minrel);
  p.maxrelsize = std::stof(maxrel);
  p.no_defects = static_cast<int32_t>(defects.size());
  for (std::size_t k = 0; k < defects.size(); ++k) {
    p.defects[k] = rectangle::of(defects[k].first, defects[k].second);
  }
  p.filename = instancefile;
  p.defectfilename = defectfile;
  p.seed = static_cast<int32_t>(seed);
  return p;
}

answers make(int instances, int length, int width, int items, const char* minrel,
             const char* maxrel, long long seed, std::vector<std::pair<int, int>> defects) {
  answers a;
  a.instances = instances;
  a.length = length;
  a.width = width;
  a.items = items;
  a.minrel = minrel;
  a.maxrel = maxrel;
  a.seed = seed;
  a.defects = std::move(defects);
  return a;
}

}  // namespace sheetgen::testing
