#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ovik {

// The hashes of the checksum lists Ovik reads: those of md5sum, sha1sum,
// sha224sum, sha256sum, sha384sum, sha512sum and b2sum (its default length).
// Sha512OrBlake2b: an untagged hash of 128 digits in a list whose name does
// not say which of the two it is, since sha512sum and b2sum write the same
// line; a file matches when either digest of it is the listed one.
enum class DigestKind : std::uint8_t { Md5, Sha1, Sha224, Sha256, Sha384, Sha512, Blake2b512, Sha512OrBlake2b };

// What a list's file name says about its untagged 128-digit hashes.
enum class WideHashNaming { Unsaid, Blake2, Sha512 };

// The length of a digest in bytes.
std::size_t DigestBytes(DigestKind kind);

// The kind a list's tag names ("SHA256" in «SHA256 (name) = ...»); b2sum
// writes "BLAKE2b" and "BLAKE2b-512" for its default length.
std::optional<DigestKind> KindOfTag(std::string_view tag);

// The kind of an untagged hash of `hexDigits` digits. 128 digits are what
// the list's name says, or Sha512OrBlake2b when it says nothing. A list
// named for BLAKE2b holds no other lengths: b2sum's shorter ones cannot be
// checked.
std::optional<DigestKind> KindOfLength(std::size_t hexDigits, WideHashNaming naming);

// The kind a user names for a list's untagged hashes: md5, sha1, sha224,
// sha256, sha384, sha512 or blake2b, in any case.
std::optional<DigestKind> KindOfName(std::string_view name);

// What a list's file name says: Blake2 for "B2SUMS" or "photos.blake2",
// Sha512 for "SHA512SUMS" or "photos.sha512".
WideHashNaming NamingOfList(std::string_view fileName);

}  // namespace ovik
