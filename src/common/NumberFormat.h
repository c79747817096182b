#pragma once

#include <cstdint>
#include <string>

namespace ovik {

// Decimal with "," before every group of three digits from the right:
// 1234567 gives "1,234,567". Negative values are shown with a leading "-".
std::string FormatThousands(std::int64_t value);

}  // namespace ovik
