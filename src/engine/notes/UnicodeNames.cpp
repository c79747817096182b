#include "engine/notes/UnicodeNames.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>

namespace ovik {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string AsciiLowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c < 0x80 ? std::tolower(c) : c); });
  return lower;
}

bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

icu::UnicodeString Decoded(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string Encoded(const icu::UnicodeString& text) {
  std::string bytes;
  text.toUTF8String(bytes);
  return bytes;
}

const icu::Normalizer2* Nfc() {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
  return U_SUCCESS(status) ? normalizer : nullptr;
}

const icu::Normalizer2* Nfd() {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* normalizer = icu::Normalizer2::getNFDInstance(status);
  return U_SUCCESS(status) ? normalizer : nullptr;
}

// ASCII, which most names are, is in every form and folds on its own.
std::optional<std::string> Normalized(const icu::Normalizer2* normalizer, std::string_view name) {
  if (IsAscii(name)) return std::string(name);
  if (normalizer == nullptr || !IsValidUtf8(name)) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString form = normalizer->normalize(Decoded(name), status);
  if (U_FAILURE(status)) return std::nullopt;
  return Encoded(form);
}

bool IsInForm(const icu::Normalizer2* normalizer, const icu::UnicodeString& text) {
  UErrorCode status = U_ZERO_ERROR;
  return normalizer != nullptr && normalizer->isNormalized(text, status) && U_SUCCESS(status);
}

}  // namespace

std::optional<std::string> NfcForm(std::string_view name) { return Normalized(Nfc(), name); }

std::string NfdForm(std::string_view name) { return Normalized(Nfd(), name).value_or(std::string(name)); }

std::string FoldedCase(std::string_view name) {
  if (IsAscii(name) || !IsValidUtf8(name)) return AsciiLowerCase(name);
  return Encoded(Decoded(name).foldCase());
}

std::string_view UnicodeFormOf(std::string_view name) {
  if (!IsValidUtf8(name)) return {};
  const icu::UnicodeString text = Decoded(name);
  const bool nfc = IsInForm(Nfc(), text);
  const bool nfd = IsInForm(Nfd(), text);
  if (nfc && !nfd) return "NFC";
  if (nfd && !nfc) return "NFD";
  return {};
}

}  // namespace ovik
