#pragma once

#include <cstdint>
#include <string>

namespace ovik {

// Decimal with "," before every group of three digits from the right:
// 1234567 gives "1,234,567". Negative values are shown with a leading "-".
std::string FormatThousands(std::int64_t value);

// A byte count for a glance, in decimal units with one decimal whatever the
// locale: «512 bytes», «1 byte», «1.2 GB» (1 GB = 1,000,000,000 bytes).
std::string FormatByteSize(std::int64_t bytes);

}  // namespace ovik
