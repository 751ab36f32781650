#include "files.h"

#include <sheetgen/types.h>

#include <filesystem>
#include <system_error>

namespace sheetkit {

std::ifstream open_input(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  // A folder opens on some systems and reads as nothing.
  std::error_code ec;
  if (!in || std::filesystem::is_directory(name, ec)) {
    throw sheetgen::error("Cannot read file " + name + "!");
  }
  return in;
}

}  // namespace sheetkit
