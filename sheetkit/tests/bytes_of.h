// A whole file as the tests compare it: its bytes.
#ifndef SHEETKIT_TESTS_BYTES_OF_H_
#define SHEETKIT_TESTS_BYTES_OF_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace sheetkit::testing {

// The bytes of `file` (none where it cannot be read).
inline std::string bytes_of(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace sheetkit::testing

#endif  // SHEETKIT_TESTS_BYTES_OF_H_
