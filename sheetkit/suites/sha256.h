// SHA-256 digests, streamed in constant memory, from OpenSSL's libcrypto:
// what a suite's manifest and SHA256SUMS record of every file.
#ifndef SHEETKIT_SHA256_H_
#define SHEETKIT_SHA256_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace sheetkit {

// One digest, fed piece by piece.
class sha256 {
 public:
  sha256();
  ~sha256();
  sha256(sha256&&) noexcept;
  sha256& operator=(sha256&&) noexcept;

  void add(std::string_view bytes);
  // The digest of everything added, as 64 lower-case hex digits (as
  // sha256sum prints it); ends the digest.
  std::string hex();

 private:
  struct context;
  std::unique_ptr<context> c_;
};

// The digest of `bytes`.
std::string sha256_of(std::string_view bytes);

// A file's size and digest.
struct file_digest {
  uint64_t bytes = 0;
  std::string sha256;
};

// Reads `path` once, in chunks; throws file_error "PATH: cannot be read:
// REASON" when it cannot be opened or read.
file_digest digest_file(const std::filesystem::path& path);

}  // namespace sheetkit

#endif  // SHEETKIT_SHA256_H_
