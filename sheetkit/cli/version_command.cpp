// `sheetkit version`; named apart from <sheetgen/version.h>, which it uses
// and does not implement.
#include <sheetgen/version.h>

#include "cli/builtins.h"

namespace sheetkit {

std::function<prepared()> setup_version(CLI::App&) {
  return [] {
    return prepared{run_info{}, [](const run_info&, session& s) {
                      s.out << "sheetkit " << sheetgen::version << '\n';
                      return status_ok;
                    }};
  };
}

}  // namespace sheetkit
