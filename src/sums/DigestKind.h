#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ovik {

// The hashes of the checksum lists Ovik reads: those of md5sum, sha1sum,
// sha224sum, sha256sum, sha384sum, sha512sum and b2sum (its default length).
enum class DigestKind : std::uint8_t { Md5, Sha1, Sha224, Sha256, Sha384, Sha512, Blake2b512 };

// The length of a digest in bytes.
std::size_t DigestBytes(DigestKind kind);

// The kind a list's tag names ("SHA256" in «SHA256 (name) = ...»); b2sum
// writes "BLAKE2b" and "BLAKE2b-512" for its default length.
std::optional<DigestKind> KindOfTag(std::string_view tag);

// The kind of an untagged hash of `hexDigits` digits. 128 digits are SHA-512
// unless the list is one of BLAKE2b hashes, whose other lengths cannot be
// checked.
std::optional<DigestKind> KindOfLength(std::size_t hexDigits, bool blake2List);

// True when a list's file name says that it holds BLAKE2b hashes, as
// "B2SUMS" or "photos.blake2" do.
bool NamesBlake2List(std::string_view fileName);

}  // namespace ovik
