#include "ui/MainFonts.h"

#include <QStringList>

namespace ovik {
namespace {

// Faces narrow enough for the captions to fit their buttons at 11 pixels;
// the first one installed is used, else the system's sans-serif face.
const QStringList kPreferredFamilies = {"Liberation Sans", "Arimo",   "Nimbus Sans",
                                        "Arial",           "Helvetica", "DejaVu Sans Condensed"};

QFont SansSerifAtPixels(int pixels) {
  QFont font;
  font.setFamilies(kPreferredFamilies);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

QFont MainWindowFont() { return SansSerifAtPixels(11); }

QFont StatusLineFont() {
  QFont font = SansSerifAtPixels(16);
  font.setBold(true);
  return font;
}

QFont BoldFont() {
  QFont font = MainWindowFont();
  font.setBold(true);
  return font;
}

QFont ItalicFont() {
  QFont font = MainWindowFont();
  font.setItalic(true);
  return font;
}

}  // namespace ovik
