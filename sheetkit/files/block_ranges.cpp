#include "files/block_ranges.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <streambuf>
#include <system_error>

#include "files/files.h"
#include "files/instance_reader.h"

namespace sheetkit {

namespace {

namespace fs = std::filesystem;

// At most `size` bytes of another stream's buffer.
class range_buffer : public std::streambuf {
 public:
  range_buffer(std::streambuf& in, uint64_t size) : in_(in), left_(size) {}

 protected:
  std::streamsize xsgetn(char* to, std::streamsize n) override {
    std::streamsize got = 0;
    if (gptr() < egptr()) {
      got = std::min<std::streamsize>(n, egptr() - gptr());
      std::copy(gptr(), gptr() + got, to);
      gbump(static_cast<int>(got));
    }
    return got + take(to + got, n - got);
  }
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::streamsize got = take(one_, sizeof one_);
    if (got <= 0) return traits_type::eof();
    setg(one_, one_, one_ + got);
    return traits_type::to_int_type(one_[0]);
  }

 private:
  std::streamsize take(char* to, std::streamsize n) {
    const auto wanted =
        static_cast<std::streamsize>(std::min<uint64_t>(left_, static_cast<uint64_t>(n)));
    const std::streamsize got = wanted > 0 ? in_.sgetn(to, wanted) : 0;
    if (got > 0) left_ -= static_cast<uint64_t>(got);
    return got;
  }

  std::streambuf& in_;
  uint64_t left_;
  char one_[4096];
};

// The first place at or after `offset` where a block starts, just after an
// empty line (LF or CR LF), in a file that a pass has found well formed;
// nothing when none lies within the next 4 MiB, more than a block of
// sheetgen's largest takes.
std::optional<uint64_t> block_start(const std::string& name, uint64_t offset) {
  constexpr std::size_t chunk = std::size_t{256} << 10;
  constexpr uint64_t reach = uint64_t{4} << 20;
  std::ifstream file = open_input(name);
  // From two bytes before, which tell whether a line feed ends an empty line.
  uint64_t at = offset - 2;
  file.seekg(static_cast<std::streamoff>(at));
  std::string bytes(chunk + 2, '\0');
  std::size_t have = 0;
  while (at < offset + reach) {
    file.read(bytes.data() + have, static_cast<std::streamsize>(chunk));
    const std::size_t size = have + static_cast<std::size_t>(file.gcount());
    for (std::size_t i = 2; i < size; ++i) {
      if (bytes[i] == '\n' &&
          (bytes[i - 1] == '\n' || (bytes[i - 1] == '\r' && bytes[i - 2] == '\n'))) {
        return at + i + 1;
      }
    }
    if (!file || size < 2) return std::nullopt;
    // The last two bytes start the next chunk.
    bytes[0] = bytes[size - 2];
    bytes[1] = bytes[size - 1];
    at += size - 2;
    have = 2;
  }
  return std::nullopt;
}

}  // namespace

std::vector<byte_range> split_at_blocks(const std::string& name, unsigned parts,
                                        uint64_t smallest_part) {
  // Smaller parts gain less than starting their threads costs.
  const uint64_t smallest = std::max<uint64_t>(smallest_part, 4);
  std::error_code ec;
  const uint64_t size = fs::file_size(name, ec);
  if (ec || parts < 2 || size < 2 * smallest) return {};
  parts = static_cast<unsigned>(std::min<uint64_t>(parts, size / smallest));
  std::vector<byte_range> found;
  uint64_t begin = 0;
  for (unsigned k = 1; k < parts; ++k) {
    const std::optional<uint64_t> end = block_start(name, size / parts * k);
    if (!end || *end <= begin || *end >= size) continue;
    found.emplace_back(begin, *end);
    begin = *end;
  }
  found.emplace_back(begin, size);
  return found;
}

instance_pass block_range(const std::string& name, uint64_t begin, uint64_t end) {
  return [name, begin, end](const std::function<void(const instance&)>& visit) {
    std::ifstream file = open_input(name);
    file.seekg(static_cast<std::streamoff>(begin));
    range_buffer range(*file.rdbuf(), end - begin);
    std::istream in(&range);
    instance_reader reader(in, name, nullptr, "");
    instance one;
    while (reader.next(one)) visit(one);
  };
}

}  // namespace sheetkit
