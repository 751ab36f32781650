// The dialogue on a console the caller keeps, so that the driver can go on
// reading from it after the answers (the closing prompt, an abort).
#ifndef SHEETGEN_DIALOGUE_H_
#define SHEETGEN_DIALOGUE_H_

#include <sheetgen/types.h>

#include <filesystem>

#include "console.h"

namespace sheetgen {

run_parameters dialogue(console& con, const std::filesystem::path& folder);

}  // namespace sheetgen

#endif  // SHEETGEN_DIALOGUE_H_
