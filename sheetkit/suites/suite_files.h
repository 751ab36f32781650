// The names of the files and folders a suite holds, in one place: make
// writes them, verify and report read them, and the suite file may not
// name a class after one of them.
#ifndef SHEETKIT_SUITE_FILES_H_
#define SHEETKIT_SUITE_FILES_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sheetkit::suite_files {

/// The copy of the suite's JSON file, in the suite's folder.
inline constexpr const char* definition = "suite.json";
/// Every set file with its size and SHA-256: the file a paper cites.
inline constexpr const char* manifest = "manifest.tsv";
/// The same digests as `sha256sum -c` reads them.
inline constexpr const char* sums = "SHA256SUMS";
/// The suite's page, as suite report writes it.
inline constexpr const char* page = "index.html";
/// The files of the suite's folder itself, beside the class folders.
inline constexpr std::array<const char*, 4> top = {definition, manifest, sums, page};

/// A set's answers, as piped into sheetgen.
inline constexpr const char* answers = "answers.txt";
/// The files sheetgen writes in a set's folder.
inline constexpr const char* instances = "instances.txt";
inline constexpr const char* defects = "defects.txt";
/// A family set's recipe (in place of answers.txt) and its value file.
inline constexpr const char* recipe = "recipe.txt";
inline constexpr const char* values = "values.txt";
/// The record a set keeps once complete (see suite_manifest.h).
inline constexpr const char* done = ".done";

/// The lock a make of the whole suite holds in the suite's folder.
inline constexpr const char* lock = ".make.lock";
/// The lock of shard K of N: shards lock apart, so that they run at once.
std::string shard_lock(int64_t k, int64_t n);
/// Whether `name` is one of the locks above.
bool is_lock(std::string_view name);

/// Whether a class folder called `name` would collide with a file the
/// suite writes beside it, or with one's temporary name ("index.html",
/// "manifest.tsv.tmp-..."), on a file system that ignores case too.
bool collides(std::string_view name);

}  // namespace sheetkit::suite_files

#endif  // SHEETKIT_SUITE_FILES_H_
