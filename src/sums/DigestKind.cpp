#include "sums/DigestKind.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace ovik {
namespace {

struct KindFacts {
  DigestKind kind;
  std::size_t bytes;
  std::string_view tag;
};

constexpr KindFacts kKinds[] = {
    {DigestKind::Md5, 16, "MD5"},          {DigestKind::Sha1, 20, "SHA1"},
    {DigestKind::Sha224, 28, "SHA224"},    {DigestKind::Sha256, 32, "SHA256"},
    {DigestKind::Sha384, 48, "SHA384"},    {DigestKind::Sha512, 64, "SHA512"},
    {DigestKind::Blake2b512, 64, "BLAKE2b"},
};

}  // namespace

std::size_t DigestBytes(DigestKind kind) {
  for (const KindFacts& facts : kKinds)
    if (facts.kind == kind) return facts.bytes;
  return 0;
}

std::optional<DigestKind> KindOfTag(std::string_view tag) {
  if (tag == "BLAKE2b-512") return DigestKind::Blake2b512;
  for (const KindFacts& facts : kKinds)
    if (facts.tag == tag) return facts.kind;
  return std::nullopt;
}

std::optional<DigestKind> KindOfLength(std::size_t hexDigits, bool blake2List) {
  if (blake2List) {
    if (hexDigits == 2 * DigestBytes(DigestKind::Blake2b512)) return DigestKind::Blake2b512;
    return std::nullopt;
  }
  for (const KindFacts& facts : kKinds)
    if (2 * facts.bytes == hexDigits) return facts.kind;
  return std::nullopt;
}

bool NamesBlake2List(std::string_view fileName) {
  std::string lower(fileName.substr(fileName.rfind('/') + 1));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.find("b2sum") != std::string::npos || lower.find("blake2") != std::string::npos ||
         lower.ends_with(".b2");
}

}  // namespace ovik
