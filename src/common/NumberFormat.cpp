#include "common/NumberFormat.h"

#include <cmath>
#include <iterator>

namespace ovik {

std::string FormatThousands(std::int64_t value) {
  // Work on the magnitude as unsigned so that the smallest int64 does not overflow.
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value)
                                     : static_cast<std::uint64_t>(value);
  char buffer[32];
  char* end = buffer + sizeof buffer;
  char* p = end;
  int digits = 0;
  do {
    if (digits > 0 && digits % 3 == 0) *--p = ',';
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    ++digits;
  } while (magnitude != 0);
  if (negative) *--p = '-';
  return std::string(p, end);
}

std::string FormatByteSize(std::int64_t bytes) {
  if (bytes < 1000) return FormatThousands(bytes) + (bytes == 1 ? " byte" : " bytes");
  static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes) / 1000.0;
  std::size_t unit = 0;
  // 999,960 bytes would round to «1000.0 kB»: that is «1.0 MB».
  while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
    value /= 1000.0;
    ++unit;
  }
  const auto tenths = static_cast<std::int64_t>(std::llround(value * 10.0));
  return FormatThousands(tenths / 10) + "." + static_cast<char>('0' + tenths % 10) + " " + kUnits[unit];
}

}  // namespace ovik
