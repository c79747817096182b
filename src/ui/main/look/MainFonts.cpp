#include "ui/main/look/MainFonts.h"

#include <QFontMetrics>
#include <QStringList>

namespace ovik {
namespace {

// Faces narrow enough for the captions to fit their buttons at 11 pixels;
// the first one installed is used, else the system's sans-serif face.
const QStringList kPreferredFamilies = {"Liberation Sans", "Arimo",     "Nimbus Sans",
                                        "Arial",           "Helvetica", "DejaVu Sans Condensed"};

constexpr int kDesignPixels = 11;
constexpr int kSmallestPixels = 8;
// The widest caption for its button: "Browse source..." on 89 pixels, less
// the button's margins.
constexpr const char* kWidestCaption = "Browse source...";
constexpr int kWidestCaptionRoom = 83;

QFont SansSerifAtPixels(int pixels) {
  QFont font;
  font.setFamilies(kPreferredFamilies);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  return font;
}

// 11 pixels, or smaller when the face in use writes wider than the window's
// geometry allows.
int WindowFontPixels() {
  static const int pixels = [] {
    int size = kDesignPixels;
    while (size > kSmallestPixels &&
           QFontMetrics(SansSerifAtPixels(size)).horizontalAdvance(kWidestCaption) > kWidestCaptionRoom)
      --size;
    return size;
  }();
  return pixels;
}

}  // namespace

QFont MainWindowFont() { return SansSerifAtPixels(WindowFontPixels()); }

QFont StatusLineFont() {
  QFont font = SansSerifAtPixels(WindowFontPixels() * 16 / kDesignPixels);
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
