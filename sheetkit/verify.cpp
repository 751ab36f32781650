#include "verify.h"

#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>
#include <sheetgen/run_passes.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files.h"
#include "text.h"

namespace sheetkit {

namespace {

// How much of a differing line is shown, and read to show it.
constexpr std::size_t shown_line = 200;

// A line as people can read it: tabs and other control bytes spelled out.
std::string visible(std::string_view text) {
  return sheetgen::visible_bytes(text.substr(0, shown_line)) +
         (text.size() > shown_line ? "..." : "");
}

std::string_view trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

}  // namespace

file_comparison::file_comparison(std::string name, std::size_t block_room)
    : name_(std::move(name)) {
  try {
    in_ = open_input(name_);
    buffer_.resize(block_room);
  } catch (const sheetgen::error& e) {
    outcome_ = outcome::missing;
    missing_ = e.what();
  }
}

file_comparison::~file_comparison() = default;

void file_comparison::compare(std::string_view expected, int64_t lines) {
  if (done()) return;
  const std::size_t got = read(buffer_.data(), expected.size());
  if (got == expected.size() && std::memcmp(buffer_.data(), expected.data(), got) == 0) {
    line_ += lines;
    return;
  }
  const std::string_view found(buffer_.data(), got);
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(found.begin(), found.end(), expected.begin()).first - found.begin());
  // The line that holds the first differing byte, in both versions.
  const std::size_t previous_end = expected.substr(0, at).rfind('\n');
  const std::size_t start = previous_end == std::string_view::npos ? 0 : previous_end + 1;
  line_ +=
      std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(start), '\n') +
      1;
  expected_ = std::string(expected.substr(start, expected.find('\n', start) - start));
  found_ = std::string(found.substr(start, shown_line + 1));
  const std::size_t end = found_.find('\n');
  if (end != std::string::npos) {
    found_.resize(end);
  } else if (got == expected.size()) {
    read_rest_of_line();
  }
  outcome_ = at == got && got < expected.size() ? outcome::shorter : outcome::differs;
}

void file_comparison::finish() {
  if (done()) return;
  if (in_.rdbuf()->sgetc() == std::char_traits<char>::eof()) return;
  outcome_ = outcome::longer;
  ++line_;
  read_rest_of_line();
}

void file_comparison::report(std::ostream& out, std::string_view note) const {
  const std::string where = name_ + ":" + std::to_string(line_) + ": ";
  switch (outcome_) {
    case outcome::same:
      out << name_ << ": identical" << note << '\n';
      return;
    case outcome::missing:
      out << missing_ << '\n';
      return;
    case outcome::differs:
      out << where << "differs\n";
      break;
    case outcome::shorter:
      out << where << "file ends early at line " << line_ << '\n';
      break;
    case outcome::longer:
      out << where << "file has more after line " << line_ - 1 << '\n';
      break;
  }
  const bool ends = outcome_ == outcome::shorter && found_.empty();
  out << "  expected: " << (outcome_ == outcome::longer ? "(end of file)" : visible(expected_))
      << "\n  found:    " << (ends ? "(end of file)" : visible(found_)) << '\n';
}

std::size_t file_comparison::read(char* to, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const std::streamsize r = in_.rdbuf()->sgetn(to + got, static_cast<std::streamsize>(n - got));
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

void file_comparison::read_rest_of_line() {
  std::streambuf& in = *in_.rdbuf();
  for (int c = in.sbumpc();
       c != std::char_traits<char>::eof() && c != '\n' && found_.size() <= shown_line;
       c = in.sbumpc()) {
    found_ += static_cast<char>(c);
  }
}

run_verdict verify_run_files(const sheetgen::run_parameters& answers, std::ostream& out,
                             const sheetgen::progress_callback& progress,
                             const written_bytes& written) {
  using sheetgen::defect_line_room;
  using sheetgen::item_line_room;
  sheetgen::run_passes passes(answers, progress);
  const sheetgen::run_parameters& p = passes.parameters();
  // The writers need this much room for a block; they touch more than they keep.
  std::vector<char> block(std::max(static_cast<std::size_t>(p.no_items) * item_line_room,
                                   static_cast<std::size_t>(p.no_defects) * defect_line_room) +
                          1);
  // The bytes sheetgen writes for a block, formatted by its own writers.
  const auto text = [&block](const char* end) {
    return std::string_view(block.data(), static_cast<std::size_t>(end - block.data()));
  };

  file_comparison instance_file(p.filename,
                                static_cast<std::size_t>(p.no_items) * item_line_room + 1);
  std::optional<std::string> failure;
  int32_t done = 0;
  try {
    passes.items([&](int32_t instance, std::span<const rectangle> generated) {
      // Past a difference the run is still generated: the defects come after it.
      if (!instance_file.done() || written) {
        const std::string_view bytes = text(sheetgen::put_item_block(generated, block.data()));
        instance_file.compare(bytes, static_cast<int64_t>(generated.size()) + 1);
        if (written) written(false, bytes);
      }
      done = instance;
      return true;
    });
  } catch (const sheetgen::error& e) {
    // sheetgen's repair failure: it keeps the blocks finished before it.
    failure = e.what();
  }
  instance_file.finish();

  if (failure) {
    out << "The run stops at instance " << done + 1 << " of " << p.no_instances
        << ", with sheetgen's message: " << trimmed(*failure) << '\n';
    instance_file.report(out, " (the " + count_of(done, "instance") + " before the failure)");
    if (p.no_defects < 1) return {instance_file.identical(), true};
    std::error_code ec;
    if (std::filesystem::exists(p.defectfilename, ec)) {
      out << p.defectfilename
          << ": exists, but the run writes no defect file after the failure (left from another "
             "run?)\n";
      return {false, true};
    }
    out << p.defectfilename << ": not written, as sheetgen writes none after the failure\n";
    return {instance_file.identical(), true};
  }
  instance_file.report(out);
  if (p.no_defects < 1) return {instance_file.identical(), false};

  file_comparison defect_file(p.defectfilename,
                              static_cast<std::size_t>(p.no_defects) * defect_line_room + 1);
  passes.defects([&](int32_t, std::span<const placed_defect> generated) {
    const std::string_view bytes = text(sheetgen::put_defect_block(generated, block.data()));
    defect_file.compare(bytes, static_cast<int64_t>(generated.size()) + 1);
    if (written) written(true, bytes);
    return !defect_file.done() || written;  // nothing else comes after the defects
  });
  defect_file.finish();
  defect_file.report(out);
  return {instance_file.identical() && defect_file.identical(), false};
}

bool verify_run(const sheetgen::run_parameters& answers, std::ostream& out,
                const sheetgen::progress_callback& progress) {
  return verify_run_files(answers, out, progress, {}).identical;
}

}  // namespace sheetkit
