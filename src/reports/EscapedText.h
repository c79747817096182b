#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ovik {

// The character, or the stray byte, that starts at a place in a text, and
// whether it is a control character: C0 (a new line, a carriage return, a
// tab, an escape...), DEL, a C1 control (U+0080 to U+009F) in UTF-8, or a
// byte 0x80 to 0x9F that belongs to no well-formed UTF-8 character, which a
// terminal reading 8-bit text takes for a C1 control (0x9B opens an escape
// sequence).
struct TextPiece {
  std::size_t length;
  bool control;
};
TextPiece PieceAt(std::string_view text, std::size_t at);

// True when the text holds a control character.
bool HoldsControls(std::string_view text);

// A line as the terminal and the text report show it. A line without
// control characters is unchanged, byte for byte. Any other begins with a
// backslash, as sha256sum marks an escaped name, and has C-style escapes
// for its controls and backslashes: "\n", "\r", "\t", "\\" and "\xHH" for
// every other control byte. So one file is always one line, and no name
// can move the cursor or send the terminal an escape sequence.
std::string EscapedLine(std::string_view line);

}  // namespace ovik
