// Where sheetkit's commands get a run from: the answers file of the run
// (which names the files and knows everything sheetgen was asked), or an
// object size and the files themselves. How the files are read is
// instance_reader's, run_files' and read_ahead's.
#ifndef SHEETKIT_SOURCE_H_
#define SHEETKIT_SOURCE_H_

#include <sheetgen/types.h>

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

#include "files/instance.h"

namespace sheetkit {

// Reads an answers file as sheetgen reads its standard input, with the
// dialogue's own checks; the file names in it are taken relative to the
// current folder. Throws file_error "NAME: cannot be read: REASON" or, for
// a bad answer, sheetgen::error "NAME:LINE: QUESTION: the dialogue's
// message".
run_info run_from_answers(const std::string& answers_file);

// The dialogue's answers from `in`, read silently, file names taken
// relative to `folder`; a bad answer throws sheetgen::answer_error, which
// tells the question.
sheetgen::run_parameters read_answers_quietly(std::istream& in,
                                              const std::filesystem::path& folder = {});

// What to add to the message about a file that an answers file names and
// that cannot be opened: that such names are taken relative to the current
// folder, not to the answers file's; nothing for an absolute name.
std::string answers_name_note(const std::string& name);

// "LENGTHxWIDTH" (positive integers without leading zeros, a lower-case x,
// product at most 2147483647) as an object; throws sheetgen::error saying
// what is wrong.
rectangle parse_object(std::string_view text);

// A run known only by its object and files; `defect_file` may be empty.
run_info run_from_object(rectangle object, std::string instance_file, std::string defect_file);

}  // namespace sheetkit

#endif  // SHEETKIT_SOURCE_H_
