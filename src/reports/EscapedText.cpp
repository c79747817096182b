#include "reports/EscapedText.h"

namespace ovik {
namespace {

bool IsC0OrDelete(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

unsigned char ByteAt(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// The length of the well-formed UTF-8 character of two or more bytes that
// starts at `at`, or 0: no overlong forms, no surrogates, nothing above
// U+10FFFF.
std::size_t MultiByteLength(std::string_view text, std::size_t at) {
  const unsigned char lead = ByteAt(text, at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char byte = ByteAt(text, at + i);
    if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

void AppendHexEscape(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

TextPiece PieceAt(std::string_view text, std::size_t at) {
  const unsigned char byte = ByteAt(text, at);
  if (byte < 0x80) return {1, IsC0OrDelete(byte)};
  const std::size_t length = MultiByteLength(text, at);
  if (length == 0) return {1, byte <= 0x9F};
  return {length, byte == 0xC2 && ByteAt(text, at + 1) <= 0x9F};
}

bool HoldsControls(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const TextPiece piece = PieceAt(text, i);
    if (piece.control) return true;
    i += piece.length;
  }
  return false;
}

std::string EscapedLine(std::string_view line) {
  if (!HoldsControls(line)) return std::string(line);
  std::string out = "\\";
  out.reserve(line.size() + 16);
  for (std::size_t i = 0; i < line.size();) {
    const TextPiece piece = PieceAt(line, i);
    const auto byte = ByteAt(line, i);
    if (byte == '\n') out += "\\n";
    else if (byte == '\r') out += "\\r";
    else if (byte == '\t') out += "\\t";
    else if (byte == '\\') out += "\\\\";
    else if (piece.control)
      for (std::size_t k = 0; k < piece.length; ++k) AppendHexEscape(out, ByteAt(line, i + k));
    else out.append(line.substr(i, piece.length));
    i += piece.length;
  }
  return out;
}

}  // namespace ovik
