#include "common/NumberFormat.h"

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

}  // namespace ovik
