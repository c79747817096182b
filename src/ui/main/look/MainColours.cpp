#include "ui/main/look/MainColours.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace ovik {
namespace {

double LinearChannel(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QColor MixedWithWhite(const QColor& colour, double share) {
  const auto mix = [share](int channel) { return static_cast<int>(std::lround(channel + (255 - channel) * share)); };
  return {mix(colour.red()), mix(colour.green()), mix(colour.blue())};
}

// Relative luminance of an sRGB colour, from 0 (black) to 1 (white).
double RelativeLuminance(const QColor& colour) {
  return 0.2126 * LinearChannel(colour.red()) + 0.7152 * LinearChannel(colour.green()) +
         0.0722 * LinearChannel(colour.blue());
}

}  // namespace

QColor DesignColour(Colour colour) {
  const Rgb rgb = RgbOf(colour);
  return {rgb.red, rgb.green, rgb.blue};
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkBackground(const QColor& background) {
  return ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
}

// Luminance grows with the share of white, so the least share that reaches
// the contrast is found by halving. White itself reaches 4.5:1 on every
// background that counts as dark.
QColor LegibleOn(const QColor& colour, const QColor& background, double minimumContrast) {
  if (!IsDarkBackground(background) || ContrastRatio(colour, background) >= minimumContrast) return colour;
  double low = 0.0;
  double high = 1.0;
  for (int step = 0; step < 20; ++step) {
    const double middle = (low + high) / 2;
    (ContrastRatio(MixedWithWhite(colour, middle), background) >= minimumContrast ? high : low) = middle;
  }
  return MixedWithWhite(colour, high);
}

QColor ShownTextColour(Colour colour, const QPalette& palette) {
  if (colour == Colour::Black) return palette.color(QPalette::WindowText);
  return LegibleOn(DesignColour(colour), palette.color(QPalette::Window), kTextContrast);
}

QColor ShownBarColour(Colour colour, const QPalette& palette) {
  if (colour == Colour::Black) return palette.color(QPalette::WindowText);
  return LegibleOn(DesignColour(colour), palette.color(QPalette::Base), kBarContrast);
}

}  // namespace ovik
