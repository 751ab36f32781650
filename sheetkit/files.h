// Files as sheetkit's commands open them.
#ifndef SHEETKIT_FILES_H_
#define SHEETKIT_FILES_H_

#include <fstream>
#include <string>

namespace sheetkit {

// Opens a file to read in binary; throws sheetgen::error "Cannot read file
// NAME!" when it cannot be opened or is a folder.
std::ifstream open_input(const std::string& name);

}  // namespace sheetkit

#endif  // SHEETKIT_FILES_H_
