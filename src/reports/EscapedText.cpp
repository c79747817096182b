#include "reports/EscapedText.h"

namespace ovik {
namespace {

bool IsC0OrDelete(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// A C1 control is the lead byte 0xC2 followed by 0x80 to 0x9F.
bool StartsC1Control(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
         (static_cast<unsigned char>(text[at + 1]) & 0xE0) == 0x80;
}

void AppendHexEscape(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

bool HoldsControls(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (IsC0OrDelete(static_cast<unsigned char>(text[i])) || StartsC1Control(text, i)) return true;
  return false;
}

std::string EscapedLine(std::string_view line) {
  if (!HoldsControls(line)) return std::string(line);
  std::string out = "\\";
  out.reserve(line.size() + 16);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte == '\n') out += "\\n";
    else if (byte == '\r') out += "\\r";
    else if (byte == '\t') out += "\\t";
    else if (byte == '\\') out += "\\\\";
    else if (IsC0OrDelete(byte)) AppendHexEscape(out, byte);
    else if (StartsC1Control(line, i)) {
      AppendHexEscape(out, byte);
      AppendHexEscape(out, static_cast<unsigned char>(line[++i]));
    } else out += static_cast<char>(byte);
  }
  return out;
}

}  // namespace ovik
