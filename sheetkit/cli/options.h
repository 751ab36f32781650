// The options that several commands take, declared and read one way, so
// that the same mistake gets the same words from every command: -o and
// --force, --copies, -j, the guillotine rules, and the export formats.
#ifndef SHEETKIT_OPTIONS_H_
#define SHEETKIT_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "files/instance.h"
#include "formats/field_exports.h"
#include "solutions/solution_check.h"

namespace sheetkit {

/// -o (required) and --force, as every command that writes a folder has them.
void add_output_options(CLI::App& app, std::string& where, bool& force, const char* type,
                        const char* what);

/// The files a command reads, which replacing its -o folder must not delete.
std::vector<std::string> files_read(const run_options& source, const run_info& run);

/// --copies N|unlimited.
struct copies_option {
  std::string text = "1";
  CLI::Option* option = nullptr;

  /// Adds --copies to `app`, described as `what`.
  void add_to(CLI::App& app, const std::string& what);
  /// Whether the command line gave it.
  bool given() const { return option != nullptr && option->count() > 0; }
  /// The count, or unlimited_copies; throws usage_error for anything else.
  int64_t count() const;
};

/// Hardware threads, at least 1: -j's default.
int default_jobs();

/// -j/--jobs N, from 1 to 256, described as `what`.
void add_jobs_option(CLI::App& app, int& jobs, const std::string& what);

/// --shard K/N, as suite make, verify and export take it.
void add_shard_option(CLI::App& app, std::string& shard);

/// PackingSolver's guillotine options: --number-of-stages, --cut-type,
/// --first-stage-orientation, --cut-thickness, --minimum-waste-length and
/// --cut-through-defects.
struct guillotine_options {
  int64_t stages = 3;
  std::string cut_type = "non-exact";
  std::string first_stage = "any";
  int64_t cut_thickness = 0;
  int64_t minimum_waste = 1;
  bool through_defects = false;
  std::vector<CLI::Option*> options;  ///< every one of them, as added

  /// Adds them to `app`, each described after `lead` ("Guillotine").
  void add_to(CLI::App& app, const std::string& lead);
  /// Whether the command line gave any of them.
  bool given() const;
  /// The rules they give; throws usage_error for a value of no choice.
  guillotine_rules rules() const;
  /// The same as PackingSolver's parameters.csv holds them.
  packingsolver_parameters parameters() const;
};

/// What export and suite export write: packingsolver, json, jsonl,
/// roadef2018 and 2dpacklib.
const std::vector<std::string>& export_formats();

}  // namespace sheetkit

#endif  // SHEETKIT_OPTIONS_H_
