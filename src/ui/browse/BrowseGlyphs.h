#pragma once

#include "platform/drives/Drives.h"

#include <QIcon>

namespace ovik {

// Every glyph is drawn this size, so that all rows of a list are equally
// tall whatever sizes the style's icons come in.
inline constexpr int kGlyphSize = 16;

enum class FolderGlyph { Open, Current, Closed };

QIcon DriveGlyph(DriveKind kind);
QIcon FolderGlyphIcon(FolderGlyph glyph);
QIcon FileGlyph(bool executable);

}  // namespace ovik
