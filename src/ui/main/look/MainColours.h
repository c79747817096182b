#pragma once

#include "engine/Colour.h"

#include <QColor>

class QPalette;

namespace ovik {

// Contrast the status line and the counters keep against the window, and
// the progress bar against its groove, where the palette is dark.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kBarContrast = 3.0;

// The engine's colour as designed, for a light window.
QColor DesignColour(Colour colour);

// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on
// white.
double ContrastRatio(const QColor& a, const QColor& b);

// True when white stands out more against the background than black does.
bool IsDarkBackground(const QColor& background);

// The colour unchanged on a light background; on a dark one, mixed with
// white (which keeps its hue) just far enough to reach `minimumContrast`.
QColor LegibleOn(const QColor& colour, const QColor& background, double minimumContrast);

// What a label shows for an engine colour: black is the palette's own text
// colour, the others are made legible on the window's background.
QColor ShownTextColour(Colour colour, const QPalette& palette);

// What the progress bar fills in: made visible against its groove, which
// the bar's style paints in the palette's base colour.
QColor ShownBarColour(Colour colour, const QPalette& palette);

}  // namespace ovik
