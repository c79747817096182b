#pragma once

#include <QString>

namespace ovik {

// Name, version, description and a pointer to the usage window, ending
// with the two line breaks that leave an empty line before the notice.
QString AboutProductText();

// The maker's notice: the year and the makers, on one line.
QString MakerNotice();

// The whole About text: eight lines joined by CR LF, no final line break.
QString AboutText();

}  // namespace ovik
