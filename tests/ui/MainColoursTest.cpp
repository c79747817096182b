#include "ui/main/MainColours.h"

#include <QPalette>

#include <gtest/gtest.h>

namespace ovik {
namespace {

QPalette PaletteOf(QColor window, QColor base, QColor text) {
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::WindowText, text);
  return palette;
}

struct DarkCase {
  const char* name;
  QPalette palette;
};

class ShownColoursOnDark : public ::testing::TestWithParam<DarkCase> {};

TEST_P(ShownColoursOnDark, ColoursReachTheContrastKeepingTheirHue) {
  const QPalette& palette = GetParam().palette;
  for (Colour colour : {Colour::Blue, Colour::Red, Colour::Green}) {
    const QColor design = DesignColour(colour);
    const QColor text = ShownTextColour(colour, palette);
    const double ratio = ContrastRatio(text, palette.color(QPalette::Window));
    EXPECT_GE(ratio, kTextContrast) << text.name().toStdString();
    EXPECT_EQ(text.hue(), design.hue()) << text.name().toStdString();
    if (text != design) {
      EXPECT_LT(ratio, kTextContrast + 0.1) << "lightened no further than needed";
    }
    EXPECT_GE(ContrastRatio(ShownBarColour(colour, palette), palette.color(QPalette::Base)), kBarContrast);
  }
  EXPECT_EQ(ShownTextColour(Colour::Black, palette), palette.color(QPalette::WindowText));
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, ShownColoursOnDark,
    ::testing::Values(DarkCase{"GreyWindow", PaletteOf({53, 53, 53}, {45, 45, 45}, {238, 238, 236})},
                      DarkCase{"BlueGreyWindow", PaletteOf({49, 54, 59}, {35, 38, 41}, {239, 240, 241})},
                      DarkCase{"BlackWindow", PaletteOf(Qt::black, Qt::black, Qt::white)},
                      // The lightest grey that still counts as dark.
                      DarkCase{"MidGreyWindow", PaletteOf({117, 117, 117}, {117, 117, 117}, Qt::white)}),
    [](const ::testing::TestParamInfo<DarkCase>& info) { return info.param.name; });

TEST(ShownColours, ALightPaletteShowsTheDesignValues) {
  for (const QColor& window : {QColor(239, 239, 239), QColor(Qt::white), QColor(118, 118, 118)}) {
    const QPalette palette = PaletteOf(window, Qt::white, Qt::black);
    EXPECT_FALSE(IsDarkBackground(window)) << window.name().toStdString();
    for (Colour colour : {Colour::Blue, Colour::Red, Colour::Green}) {
      EXPECT_EQ(ShownTextColour(colour, palette), DesignColour(colour));
      EXPECT_EQ(ShownBarColour(colour, palette), DesignColour(colour));
    }
    EXPECT_EQ(ShownTextColour(Colour::Black, palette), QColor(Qt::black));
  }
  EXPECT_TRUE(IsDarkBackground(QColor(117, 117, 117)));
}

TEST(ShownColours, ContrastFollowsTheLuminanceFormula) {
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::white, Qt::black), 21.0);
  EXPECT_NEAR(ContrastRatio(QColor(0, 128, 0), Qt::white), 5.14, 0.01);
  EXPECT_NEAR(ContrastRatio(QColor(118, 118, 118), Qt::white), 4.54, 0.01);
}

}  // namespace
}  // namespace ovik
