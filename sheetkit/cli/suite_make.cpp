#include "suites/suite_make.h"

#include <memory>
#include <string>

#include "cli/builtins.h"
#include "cli/interrupt_note.h"
#include "cli/options.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// "worked: 3 sets made, 0 kept from before", as make reports it.
std::string summary(const suite_make_report& r) {
  std::string text =
      count_of(r.made, "set") + " made, " + std::to_string(r.kept) + " kept from before";
  if (r.skipped > 0)
    text += "; " + count_of(r.skipped, "seed") + " skipped, as the run ends in the repair abort";
  if (r.aborted > 0)
    text += "; " + count_of(r.aborted, "set") + " kept as the run ends in the repair abort";
  return text;
}

}  // namespace

std::function<prepared()> setup_suite_make(CLI::App& make) {
  struct options {
    std::string json;  // the suite's JSON file
    std::string dir;
    int jobs = default_jobs();
    std::string shard = "1/1";
    bool force = false;
  };
  auto o = std::make_shared<options>();
  make.add_option("SUITE_FILE", o->json, "The suite's JSON file")->required()->type_name("");
  make.add_option("-o,--output", o->dir, "The suite's folder (made if missing)")
      ->type_name("DIR")
      ->required();
  add_jobs_option(make, o->jobs, "Sets at a time (default: the hardware threads)");
  add_shard_option(make, o->shard);
  make.add_flag("--force", o->force, "DIR may hold the suite of another suite file: make this one");
  return [o] {
    auto maker = std::make_shared<suite_maker>(
        suite_make_options{o->json, o->dir, o->jobs, suite_shard::parse(o->shard), o->force});
    return prepared{{}, [maker, dir = o->dir](const run_info&, session& s) {
                      const interrupt_note note(
                          "sheetkit: suite make: interrupted; the sets made so far are kept, and "
                          "the next suite make in " +
                          dir + " removes what this one left (its lock and temporary folders)");
                      const suite_make_report r = maker->run(s.shown.callback());
                      s.shown.clear();
                      if (!r.refusal.empty()) {
                        s.say(r.refusal);
                        return status_usage;
                      }
                      if (!r.shard.whole()) {
                        s.out << "shard " << r.shard.k << "/" << r.shard.n << ": " << summary(r)
                              << "\nOnce every shard is done, make without --shard writes the "
                                 "manifest.\n";
                      } else {
                        s.out << r.suite << ": " << summary(r)
                              << "\nmanifest sha256: " << r.manifest_sha256 << '\n';
                      }
                      return status_ok;
                    }};
  };
}

}  // namespace sheetkit
