// Feeds arbitrary bytes to both file readers. Nothing but sheetgen::error
// may come out of them, its message must start with "NAME:LINE: ", and what
// they accept must be exactly what the writer writes, with CR LF allowed.
// Each input is read from a stream and again from a file by name (mapped
// where the system maps files): both must give the same blocks and error.
#include <sheetgen/defect_file.h>
#include <sheetgen/instance_file.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "read_by_mapping.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz_reader: %s %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void put_numbers(std::string& out, std::initializer_list<int32_t> numbers) {
  for (const int32_t n : numbers) out += std::to_string(n) + ".000000\t";
  out.back() = '\n';
}

void put(std::string& out, const sheetgen::rectangle& r) {
  put_numbers(out, {r.length, r.width, r.area});
}
void put(std::string& out, const sheetgen::placed_defect& d) {
  put_numbers(out, {d.x1, d.y1, d.x2, d.y2});
}

// "in:LINE: what", LINE a positive number without leading zeros.
bool well_formed(std::string_view message) {
  if (!message.starts_with("in:")) return false;
  message.remove_prefix(3);
  const std::size_t digits = message.find_first_not_of("0123456789");
  if (digits == 0 || digits == std::string_view::npos || message[0] == '0') return false;
  return message.substr(digits).starts_with(": ") && message.size() > digits + 2;
}

// The input as a file, for the readers that open it by name.
const std::filesystem::path& input_file() {
  static const struct file {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("sheetgen_fuzz_reader_" + std::to_string(std::random_device()()));
    ~file() {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  } f;
  return f.path;
}

// What a reader made its way gives: the blocks written again, or the error.
template <typename Reader, typename Value>
std::string blocks_of(Reader reader, std::size_t max_block, bool& failed) {
  std::vector<Value> block;
  std::string written;
  int64_t last_start = 0;
  try {
    while (reader.next(block)) {
      if (block.size() > max_block) fail("block too large");
      if (reader.block_line() <= last_start) fail("blocks out of order");
      last_start = reader.block_line();
      for (const Value& v : block) put(written, v);
      written += '\n';
    }
  } catch (const sheetgen::error& e) {
    if (!well_formed(e.what())) fail("malformed message:", e.what());
    failed = true;
    return e.what();
  }
  failed = false;
  return written;
}

template <typename Reader, typename Value>
void read(const std::string& input, std::size_t max_block) {
  std::istringstream in(input);
  bool failed = false;
  const std::string written = blocks_of<Reader, Value>(Reader(in, "in"), max_block, failed);
  bool mapped_failed = false;
  const std::string mapped =
      blocks_of<Reader, Value>(Reader(input_file(), "in"), max_block, mapped_failed);
  if (mapped != written || mapped_failed != failed) fail("mapped read differs:", mapped);
  if (failed) return;
  std::string plain;  // the input with LF line ends
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) plain += input[i];
  }
  if (plain != written) fail("accepted what the writer does not write");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The files opened by name are mapped, whatever this machine's default.
  static const bool chosen = (sheetgen::testing::read_by_mapping(), true);
  (void)chosen;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::ofstream(input_file(), std::ios::binary | std::ios::trunc) << input;
  read<sheetgen::instance_reader, sheetgen::rectangle>(input, sheetgen::MAXMOD);
  read<sheetgen::defect_reader, sheetgen::placed_defect>(input, sheetgen::MAXDEF);
  return 0;
}
