// Drives whole runs in-process inside a scratch folder.
#ifndef SHEETGEN_TESTS_TEST_UTIL_H_
#define SHEETGEN_TESTS_TEST_UTIL_H_

#include <sheetgen/types.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "read_by_mapping.h"
#include "worked_example_data.h"

namespace sheetgen::testing {

// A fresh, empty folder that is removed with the object.
class scratch_folder {
 public:
  scratch_folder();
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  bool has(const std::string& name) const { return std::filesystem::exists(path_ / name); }
  std::string read(const std::string& name) const;
  void write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

struct run_result {
  int status;
  std::string console;
};

// One run with `answers` as its whole input.
run_result run_with(const std::string& answers, const std::filesystem::path& folder);

// Answers for a run, built from the dialogue's questions in order; by
// default the worked example's without its defects.
struct answers {
  int instances = worked::instances;
  int length = worked::length;
  int width = worked::width;
  int items = worked::items;
  std::string minrel = worked::minrel;
  std::string maxrel = worked::maxrel;
  std::vector<std::pair<int, int>> defects;
  std::string instancefile = worked::instance_file;
  std::string defectfile = worked::defect_file;
  long long seed = worked::seed;

  std::string text() const;
  // The same answers as the dialogue stores them, before the area bounds.
  run_parameters parameters() const;
};

answers make(int instances, int length, int width, int items, const char* minrel,
             const char* maxrel, long long seed, std::vector<std::pair<int, int>> defects = {});

// Every block that a reader (instance_reader, defect_reader) finds in
// `text`, read as the file `name`; throws its error. The text is read twice,
// through a stream and from a file by name (mapped): the blocks and the
// error must be the same, else std::logic_error says how they differ.
template <typename Reader, typename Row>
std::vector<std::vector<Row>> read_blocks(const std::string& text, const char* name) {
  struct outcome {
    std::vector<std::vector<Row>> blocks;
    std::string error;
  };
  const auto read = [](auto open) {
    outcome got;
    try {
      Reader reader = open();
      std::vector<Row> rows;
      while (reader.next(rows)) got.blocks.push_back(rows);
    } catch (const error& e) {
      got.error = e.what();
    }
    return got;
  };
  std::istringstream in(text);
  const outcome streamed = read([&] { return Reader(in, name); });
  scratch_folder folder;
  folder.write("file", text);
  read_by_mapping();
  const outcome mapped = read([&] { return Reader(folder / "file", name); });
  if (mapped.error != streamed.error) {
    throw std::logic_error("mapped: " + mapped.error + "\nstream: " + streamed.error);
  }
  if (mapped.blocks != streamed.blocks) throw std::logic_error("mapped and stream blocks differ");
  if (!streamed.error.empty()) throw error(streamed.error);
  return streamed.blocks;
}

// The message of the error that `f` throws, or "(no error)".
template <typename F>
std::string message_of(F f) {
  try {
    f();
  } catch (const error& e) {
    return e.what();
  }
  return "(no error)";
}

// The message that reading `text` ends with, or "(no error)".
template <typename Reader, typename Row>
std::string read_error(const std::string& text, const char* name) {
  return message_of([&] { read_blocks<Reader, Row>(text, name); });
}

}  // namespace sheetgen::testing

#endif  // SHEETGEN_TESTS_TEST_UTIL_H_
