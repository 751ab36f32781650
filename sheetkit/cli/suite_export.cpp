#include "suites/suite_export.h"

#include <memory>
#include <string>

#include "cli/builtins.h"
#include "cli/cli_errors.h"
#include "cli/options.h"
#include "cli/usage_error.h"
#include "formats/field_exports.h"

namespace sheetkit {

std::function<prepared()> setup_suite_export(CLI::App& command) {
  struct options {
    suite_export_options e;
    std::string dir;
    int jobs = default_jobs();
    std::string shard = "1/1";
    copies_option copies;
    CLI::Option* to_given = nullptr;
  };
  auto o = std::make_shared<options>();
  suite_export_options& e = o->e;
  command.add_option("DIR", o->dir, "The made suite")->required()->type_name("");
  o->to_given = with_choices(
      command
          .add_option("--to", e.to,
                      "What to write per set: packingsolver, json, jsonl, roadef2018 or 2dpacklib")
          ->type_name("FORMAT")
          ->required(),
      export_formats());
  command
      .add_option("-o,--output", e.out, "The export's folder, beside the suite (made if missing)")
      ->type_name("OUT")
      ->required();
  o->copies.add_to(command, "packingsolver: COPIES of every item type (default 1)");
  command.add_flag("--rotation", e.rotation, "packingsolver: items may be turned (ORIENTED 0)");
  command.add_flag("--drop", e.drop,
                   "roadef2018, 2dpacklib: leave out what the format cannot carry, rather than "
                   "refuse");
  add_jobs_option(command, o->jobs, "Sets at a time (default: the hardware threads)");
  add_shard_option(command, o->shard);
  return [o] {
    suite_export_options& e = o->e;
    check_choice(*o->to_given, e.to);
    if (e.out.empty()) throw usage_error("-o \"\": give the export's folder");
    o->copies.count();  // a count or unlimited, said as every command says it
    e.copies = o->copies.text;
    const bool counts = e.to == "packingsolver" || e.to == "roadef2018" || e.to == "2dpacklib";
    if (!counts && (o->copies.given() || e.rotation))
      throw usage_error(
          "--copies and --rotation are for --to packingsolver, roadef2018 and 2dpacklib");
    if (e.drop && e.to != "roadef2018" && e.to != "2dpacklib")
      throw usage_error(
          "--drop is for --to roadef2018 and 2dpacklib, which cannot carry everything");
    if (e.to == "roadef2018" || e.to == "2dpacklib") {
      field_export_rules rules;
      rules.rotation = e.rotation;
      rules.drop = e.drop;
      if (const std::string why = refusal(e.to, rules); !why.empty()) throw usage_error(why);
    }
    e.dir = o->dir;
    e.jobs = o->jobs;
    e.shard = suite_shard::parse(o->shard);
    return prepared{{}, [o](const run_info&, session& s) {
                      const suite_export_report r = export_suite(o->e, s.shown.callback());
                      s.shown.clear();
                      if (!r.refusal.empty()) {
                        s.say(r.refusal);
                        return status_usage;
                      }
                      s.out << r.suite << ": ";
                      if (!r.shard.whole())
                        s.out << "shard " << r.shard.k << "/" << r.shard.n << ": ";
                      s.out << count_of(r.exported, "set") << " exported to " << o->e.to << ", "
                            << r.kept << " kept from before\nmanifest sha256: " << r.manifest_sha256
                            << " (" << r.record.string() << ")\n";
                      return status_ok;
                    }};
  };
}

}  // namespace sheetkit
