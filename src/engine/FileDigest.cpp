#include "engine/FileDigest.h"

#include "sums/ChecksumLine.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace ovik {
namespace {

const char* OpenSslName(DigestKind kind) {
  switch (kind) {
    case DigestKind::Md5: return "MD5";
    case DigestKind::Sha1: return "SHA1";
    case DigestKind::Sha224: return "SHA224";
    case DigestKind::Sha256: return "SHA256";
    case DigestKind::Sha384: return "SHA384";
    case DigestKind::Sha512: return "SHA512";
    case DigestKind::Blake2b512: return "BLAKE2B-512";
  }
  return "";
}

// Fetched once per kind: a fetch per file would cost more than hashing a
// small file.
const EVP_MD* Algorithm(DigestKind kind) {
  static const auto algorithms = [] {
    std::array<EVP_MD*, static_cast<std::size_t>(DigestKind::Blake2b512) + 1> fetched{};
    for (std::size_t i = 0; i < fetched.size(); ++i)
      fetched[i] = EVP_MD_fetch(nullptr, OpenSslName(static_cast<DigestKind>(i)), nullptr);
    return fetched;
  }();
  const EVP_MD* algorithm = algorithms[static_cast<std::size_t>(kind)];
  if (algorithm == nullptr) throw std::runtime_error(std::string("OpenSSL cannot compute ") + OpenSslName(kind));
  return algorithm;
}

}  // namespace

FileDigest::FileDigest(DigestKind kind) {
  const EVP_MD* algorithm = Algorithm(kind);
  context_ = EVP_MD_CTX_new();
  if (context_ == nullptr || EVP_DigestInit_ex(context_, algorithm, nullptr) != 1) {
    EVP_MD_CTX_free(context_);
    throw std::runtime_error(std::string("OpenSSL cannot start a digest of ") + OpenSslName(kind));
  }
}

FileDigest::~FileDigest() { EVP_MD_CTX_free(context_); }

void FileDigest::Update(const std::byte* data, std::size_t size) {
  EVP_DigestUpdate(context_, data, size);
}

std::string FileDigest::Finish() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_, digest, &size) != 1) return {};
  return ToHex({reinterpret_cast<const char*>(digest), size});
}

}  // namespace ovik
