#pragma once

#include <cstdint>

namespace ovik {

// The colours the engine shows its statuses, counters and progress in.
enum class Colour { Black, Blue, Red, Green };

struct Rgb {
  std::uint8_t red, green, blue;
};

constexpr Rgb RgbOf(Colour colour) {
  switch (colour) {
    case Colour::Blue: return {0, 0, 255};
    case Colour::Red: return {255, 0, 0};
    case Colour::Green: return {0, 128, 0};
    case Colour::Black: break;
  }
  return {0, 0, 0};
}

}  // namespace ovik
