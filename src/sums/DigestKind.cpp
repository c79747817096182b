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

constexpr std::size_t kWideDigestBytes = 64;

}  // namespace

std::size_t DigestBytes(DigestKind kind) {
  if (kind == DigestKind::Sha512OrBlake2b) return kWideDigestBytes;
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

std::optional<DigestKind> KindOfLength(std::size_t hexDigits, WideHashNaming naming) {
  const bool wide = hexDigits == 2 * kWideDigestBytes;
  switch (naming) {
    case WideHashNaming::Blake2: return wide ? std::optional(DigestKind::Blake2b512) : std::nullopt;
    case WideHashNaming::Sha512: if (wide) return DigestKind::Sha512; break;
    case WideHashNaming::Unsaid: if (wide) return DigestKind::Sha512OrBlake2b; break;
  }
  for (const KindFacts& facts : kKinds)
    if (2 * facts.bytes == hexDigits) return facts.kind;
  return std::nullopt;
}

std::optional<DigestKind> KindOfName(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return upper == "BLAKE2B-512" ? std::nullopt : KindOfTag(upper == "BLAKE2B" ? "BLAKE2b" : upper);
}

WideHashNaming NamingOfList(std::string_view fileName) {
  std::string lower(fileName.substr(fileName.rfind('/') + 1));
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower.find("b2sum") != std::string::npos || lower.find("blake2") != std::string::npos || lower.ends_with(".b2"))
    return WideHashNaming::Blake2;
  if (lower.find("sha512") != std::string::npos) return WideHashNaming::Sha512;
  return WideHashNaming::Unsaid;
}

}  // namespace ovik
