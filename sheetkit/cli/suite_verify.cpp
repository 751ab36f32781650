#include "suites/suite_verify.h"

#include <memory>
#include <string>

#include "cli/builtins.h"
#include "cli/options.h"

namespace sheetkit {

std::function<prepared()> setup_suite_verify(CLI::App& verify) {
  struct options {
    std::string dir;
    int jobs = default_jobs();
    std::string shard = "1/1";
  };
  auto o = std::make_shared<options>();
  verify.add_option("DIR", o->dir, "The suite's folder")->required()->type_name("");
  add_jobs_option(verify, o->jobs, "Sets at a time (default: the hardware threads)");
  add_shard_option(verify, o->shard);
  return [o] {
    const suite_shard shard = suite_shard::parse(o->shard);
    return prepared{{}, [o, shard](const run_info&, session& s) {
                      return verify_suite(o->dir, o->jobs, shard, s.out, s.shown.callback());
                    }};
  };
}

}  // namespace sheetkit
