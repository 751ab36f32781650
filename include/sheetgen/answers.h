/// \file
/// The dialogue's answers: read from any stream, with the dialogue's own
/// prompts, checks and messages, so that an answers file can be read by
/// other programs too.
#ifndef SHEETGEN_ANSWERS_H_
#define SHEETGEN_ANSWERS_H_

#include <sheetgen/types.h>

#include <filesystem>
#include <iosfwd>

namespace sheetgen {

/// Asks every question on `prompts` and reads its answer from `in`, checking
/// each as soon as it is read. File names are taken relative to `folder`
/// when the two files are compared. Throws `error` with the dialogue's
/// message at the first bad answer; the answers read after it stay unread.
/// To read an answers file silently, pass an output stream that discards.
run_parameters read_answers(std::istream& in, std::ostream& prompts,
                            const std::filesystem::path& folder);

}  // namespace sheetgen

#endif  // SHEETGEN_ANSWERS_H_
