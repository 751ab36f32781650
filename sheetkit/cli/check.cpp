#include "inspect/check.h"

#include <sstream>

#include "cli/builtins.h"
#include "cli/options.h"
#include "files/files.h"

namespace sheetkit {

namespace {

int check_work(const run_info& run, session& s) {
  // Held back until the progress line is gone: both may share a terminal.
  // At most 21 lines.
  std::ostringstream report;
  const auto unreadable = [&](const file_error& e) { s.error(e); };
  const int64_t problems = check_files(run, report, unreadable, s.shown.callback());
  s.shown.clear();
  s.out << report.str();
  return problems == 0 ? status_ok : status_problems;
}

}  // namespace

std::function<prepared()> setup_check(CLI::App& app) {
  auto source = std::make_shared<run_options>();
  source->add_to(app);
  return [source] { return prepared{source->run(), check_work}; };
}

}  // namespace sheetkit
