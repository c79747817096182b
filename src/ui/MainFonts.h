#pragma once

#include <QFont>

namespace ovik {

// The window's text font: a plain sans-serif face at 11 pixels, the size the
// window's pixel geometry was drawn for.
QFont MainWindowFont();
// The status line's font: the same face at 16 pixels, bold.
QFont StatusLineFont();
QFont BoldFont();
QFont ItalicFont();

}  // namespace ovik
