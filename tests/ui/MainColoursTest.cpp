#include "ui/main/look/MainColours.h"

#include <QPalette>

#include <gtest/gtest.h>

namespace ovik {
namespace {

struct PaletteCase {
  const char* name;
  QColor window, base, text;
  bool dark;
};

void PrintTo(const PaletteCase& palette, std::ostream* out) { *out << palette.name; }

class ShownColours : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(ShownColours, KeepTheDesignOnLightAndReachTheContrastOnDarkKeepingTheHue) {
  const PaletteCase& c = GetParam();
  QPalette palette;
  palette.setColor(QPalette::Window, c.window);
  palette.setColor(QPalette::Base, c.base);
  palette.setColor(QPalette::WindowText, c.text);
  EXPECT_EQ(IsDarkBackground(c.window), c.dark);
  EXPECT_EQ(ShownTextColour(Colour::Black, palette), c.text);
  for (Colour colour : {Colour::Blue, Colour::Red, Colour::Green}) {
    const QColor design = DesignColour(colour);
    const QColor text = ShownTextColour(colour, palette);
    const QColor bar = ShownBarColour(colour, palette);
    if (!c.dark) {
      EXPECT_EQ(text, design);
      EXPECT_EQ(bar, design);
      continue;
    }
    const double ratio = ContrastRatio(text, c.window);
    EXPECT_GE(ratio, kTextContrast) << text.name().toStdString();
    EXPECT_TRUE(text == design || ratio < kTextContrast + 0.1) << "lightened further than needed";
    EXPECT_EQ(text.hue(), design.hue());
    EXPECT_GE(ContrastRatio(bar, c.base), kBarContrast);
  }
}

// 118 grey is the darkest that black stands out on better than white.
INSTANTIATE_TEST_SUITE_P(
    Palettes, ShownColours,
    ::testing::Values(PaletteCase{"LightGrey", {239, 239, 239}, Qt::white, Qt::black, false},
                      PaletteCase{"DarkestLight", {118, 118, 118}, Qt::white, Qt::black, false},
                      PaletteCase{"LightestDark", {117, 117, 117}, {117, 117, 117}, Qt::white, true},
                      PaletteCase{"Grey", {53, 53, 53}, {45, 45, 45}, {238, 238, 236}, true},
                      PaletteCase{"BlueGrey", {49, 54, 59}, {35, 38, 41}, {239, 240, 241}, true},
                      PaletteCase{"Black", Qt::black, Qt::black, Qt::white, true}),
    [](const ::testing::TestParamInfo<PaletteCase>& info) { return info.param.name; });

}  // namespace
}  // namespace ovik
