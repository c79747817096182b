#pragma once

#include <QFont>

namespace ovik {

// The window's text font: a plain sans-serif face at 11 pixels, the size the
// window's pixel geometry was drawn for, or smaller where the face is wide.
QFont MainWindowFont();
// The status line's font: the same face, bold, at 16 pixels for 11.
QFont StatusLineFont();
QFont BoldFont();
QFont ItalicFont();

}  // namespace ovik
