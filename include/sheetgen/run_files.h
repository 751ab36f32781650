/// \file
/// A run's files, written exactly as sheetgen writes them, from answers
/// assembled in code.
#ifndef SHEETGEN_RUN_FILES_H_
#define SHEETGEN_RUN_FILES_H_

#include <sheetgen/progress.h>
#include <sheetgen/types.h>

#include <filesystem>

namespace sheetgen {

/// Writes the instance file `p.filename` and, when `p.no_defects` >= 1, the
/// defect file `p.defectfilename`, both taken relative to `folder` unless
/// absolute: the same bytes as sheetgen given these answers.
///
/// Throws `error` with sheetgen's message, and fails as sheetgen does:
/// - answers the dialogue would refuse, file names included ("File name too
///   long (at most 79 characters)!", "The defect file must differ from the
///   instance file!"): nothing is written;
/// - the repair failure: the instance file keeps the blocks finished before
///   the failing instance, and no defect file is written;
/// - "Cannot write file NAME!": what was written before stays;
/// - two names that have come to lead to one file by the time the defect
///   file is due: the instance file is complete, the defect file unwritten.
/// Throws std::bad_alloc when memory is short before any file is touched.
/// Runs writing different files may go on in parallel threads.
void write_run_files(const run_parameters& p, const std::filesystem::path& folder,
                     const progress_callback& progress = {});

}  // namespace sheetgen

#endif  // SHEETGEN_RUN_FILES_H_
