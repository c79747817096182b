#pragma once

#include <QRect>

namespace ovik {

// The usage window's client area: its width never changes, its height has a floor.
inline constexpr int kUsageClientWidth = 512;
inline constexpr int kUsageMinClientHeight = 100;

// Where the memo and the Close button sit for a given client height.
struct UsageLayout {
  QRect memo;
  QRect closeButton;
};

// The memo fills the height above the button; the button follows the memo's
// bottom. Heights below the floor are laid out as the floor.
UsageLayout UsageLayoutFor(int clientHeight);

}  // namespace ovik
