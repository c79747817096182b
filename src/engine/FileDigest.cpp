#include "engine/FileDigest.h"

#include "sums/ChecksumLine.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace ovik {
namespace {

constexpr std::size_t kConcreteKinds = static_cast<std::size_t>(DigestKind::Blake2b512) + 1;

const char* OpenSslName(DigestKind kind) {
  switch (kind) {
    case DigestKind::Md5: return "MD5";
    case DigestKind::Sha1: return "SHA1";
    case DigestKind::Sha224: return "SHA224";
    case DigestKind::Sha256: return "SHA256";
    case DigestKind::Sha384: return "SHA384";
    case DigestKind::Sha512: return "SHA512";
    case DigestKind::Blake2b512: return "BLAKE2B-512";
    case DigestKind::Sha512OrBlake2b: break;
  }
  return "";
}

// Fetched once per kind: a fetch per file would cost more than hashing a
// small file. Null where this OpenSSL does not offer the kind.
const EVP_MD* Fetched(DigestKind kind) {
  static const auto algorithms = [] {
    std::array<EVP_MD*, kConcreteKinds> fetched{};
    for (std::size_t i = 0; i < fetched.size(); ++i)
      fetched[i] = EVP_MD_fetch(nullptr, OpenSslName(static_cast<DigestKind>(i)), nullptr);
    return fetched;
  }();
  const auto index = static_cast<std::size_t>(kind);
  return index < kConcreteKinds ? algorithms[index] : nullptr;
}

const EVP_MD* Algorithm(DigestKind kind) {
  const EVP_MD* algorithm = Fetched(kind);
  if (algorithm == nullptr) throw std::runtime_error(std::string("OpenSSL cannot compute ") + OpenSslName(kind));
  return algorithm;
}

std::string FinishedHex(evp_md_ctx_st* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context, digest, &size) != 1) return {};
  return ToHex({reinterpret_cast<const char*>(digest), size});
}

}  // namespace

FileDigest::FileDigest(DigestKind kind) { Start(kind); }

FileDigest::FileDigest(DigestKind kind, std::string listedHex) : listedHex_(std::move(listedHex)) {
  if (kind != DigestKind::Sha512OrBlake2b) {
    Start(kind);
    return;
  }
  // Both where OpenSSL offers both, and SHA-512 alone otherwise.
  for (const DigestKind wide : {DigestKind::Sha512, DigestKind::Blake2b512})
    if (Fetched(wide) != nullptr || (wide == DigestKind::Sha512 && Fetched(DigestKind::Blake2b512) == nullptr))
      Start(wide);
}

void FileDigest::Start(DigestKind kind) {
  const EVP_MD* algorithm = Algorithm(kind);
  evp_md_ctx_st* context = EVP_MD_CTX_new();
  if (context == nullptr || EVP_DigestInit_ex(context, algorithm, nullptr) != 1) {
    EVP_MD_CTX_free(context);
    throw std::runtime_error(std::string("OpenSSL cannot start a digest of ") + OpenSslName(kind));
  }
  computed_[count_++] = {kind, context};
}

FileDigest::~FileDigest() {
  for (int i = 0; i < count_; ++i) EVP_MD_CTX_free(computed_[i].context);
}

void FileDigest::Update(const std::byte* data, std::size_t size) {
  for (int i = 0; i < count_; ++i) EVP_DigestUpdate(computed_[i].context, data, size);
}

std::string FileDigest::Finish() {
  if (count_ == 1) return FinishedHex(computed_[0].context);
  std::string first;
  for (int i = 0; i < count_; ++i) {
    std::string hex = FinishedHex(computed_[i].context);
    if (!hex.empty() && hex == listedHex_) {
      kindGiven_ = computed_[i].kind;
      return hex;
    }
    if (i == 0) first = std::move(hex);
  }
  return first;
}

}  // namespace ovik
