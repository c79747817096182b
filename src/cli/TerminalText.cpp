#include "cli/TerminalText.h"

#include "reports/EscapedText.h"

#include <cwchar>
#include <vector>

namespace ovik {
namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length in bytes of the character that starts at `start`.
std::size_t CharacterLength(std::string_view text, std::size_t start) {
  std::size_t end = start + 1;
  while (end < text.size() && IsContinuationByte(static_cast<unsigned char>(text[end]))) ++end;
  return end - start;
}

char32_t CodePoint(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return lead;
  const int leadBits = character.size() == 2 ? 5 : character.size() == 3 ? 4 : 3;
  char32_t value = lead & ((1u << leadBits) - 1);
  for (std::size_t i = 1; i < character.size(); ++i) value = (value << 6) | (character[i] & 0x3F);
  return value;
}

std::size_t CharacterWidth(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1 && lead < 0x80) return 1;
  const int width = character.size() <= 4 ? wcwidth(static_cast<wchar_t>(CodePoint(character))) : -1;
  return width >= 0 ? static_cast<std::size_t>(width) : 2;
}

struct Character {
  std::size_t start;
  std::size_t length;
  std::size_t width;
};

std::vector<Character> CharactersOf(std::string_view text) {
  std::vector<Character> characters;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t length = CharacterLength(text, start);
    characters.push_back({start, length, CharacterWidth(text.substr(start, length))});
    start += length;
  }
  return characters;
}

}  // namespace

std::string WithoutControls(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const TextPiece piece = PieceAt(text, i);
    if (piece.control) shown += '?';
    else shown.append(text.substr(i, piece.length));
    i += piece.length;
  }
  return shown;
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (const Character& character : CharactersOf(text)) width += character.width;
  return width;
}

std::string_view HeadFitting(std::string_view text, std::size_t columns) {
  std::size_t end = 0;
  for (const Character& character : CharactersOf(text)) {
    if (character.width > columns) break;
    columns -= character.width;
    end = character.start + character.length;
  }
  return text.substr(0, end);
}

std::string_view TailFitting(std::string_view text, std::size_t columns) {
  const std::vector<Character> characters = CharactersOf(text);
  std::size_t start = text.size();
  for (auto it = characters.rbegin(); it != characters.rend() && it->width <= columns; ++it) {
    columns -= it->width;
    start = it->start;
  }
  return text.substr(start);
}

}  // namespace ovik
