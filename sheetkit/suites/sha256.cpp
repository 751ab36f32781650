#include "suites/sha256.h"

#include <openssl/evp.h>
#include <sheetgen/types.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <new>

#include "files/files.h"

namespace sheetkit {

struct sha256::context {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  ~context() { EVP_MD_CTX_free(md); }
};

sha256::sha256() : c_(std::make_unique<context>()) {
  if (c_->md == nullptr) throw std::bad_alloc();
  if (EVP_DigestInit_ex(c_->md, EVP_sha256(), nullptr) != 1) {
    throw sheetgen::error("SHA-256 is not available from libcrypto!");
  }
}

sha256::~sha256() = default;
sha256::sha256(sha256&&) noexcept = default;
sha256& sha256::operator=(sha256&&) noexcept = default;

void sha256::add(std::string_view bytes) {
  // Fails only on a context that was never set up, which the constructor refuses.
  EVP_DigestUpdate(c_->md, bytes.data(), bytes.size());
}

std::string sha256::hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(c_->md, digest, &size);
  std::string text;
  for (unsigned int i = 0; i < size; ++i) {
    text += "0123456789abcdef"[digest[i] >> 4];
    text += "0123456789abcdef"[digest[i] & 15];
  }
  return text;
}

std::string sha256_of(std::string_view bytes) {
  sha256 digest;
  digest.add(bytes);
  return digest.hex();
}

file_digest digest_file(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::ifstream in = open_input(name);
  // Below malloc's mapping threshold, unset: a suite digests many small files.
  constexpr std::size_t buffer_size = 64 << 10;
  const auto buffer = std::make_unique_for_overwrite<char[]>(buffer_size);
  sha256 digest;
  file_digest result;
  errno = 0;
  while (in) {
    in.read(buffer.get(), buffer_size);
    const auto got = static_cast<std::size_t>(in.gcount());
    digest.add({buffer.get(), got});
    result.bytes += got;
  }
  read_failed(in, name);
  result.sha256 = digest.hex();
  return result;
}

}  // namespace sheetkit
