#pragma once

#include "platform/drives/Drives.h"

#include <QIcon>

namespace ovik {

enum class FolderGlyph { Open, Current, Closed };

QIcon DriveGlyph(DriveKind kind);
QIcon FolderGlyphIcon(FolderGlyph glyph);
QIcon FileGlyph(bool executable);

}  // namespace ovik
