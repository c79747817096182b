#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ovik {

// What the progress line of ovik-verify shows.
struct ProgressFigures {
  int percent = 0;
  std::int64_t bytesChecked = 0;
  std::int64_t filesChecked = 0;
  std::string elapsed;
  std::optional<double> bytesPerSecond;
  std::optional<double> secondsLeft;
  std::string currentName;
};

// The whole percentage of `total` that `bytesChecked` is, from 0 to 100
// (0 for a total of 0), truncated: 99 until the last byte is checked.
int PercentChecked(std::int64_t bytesChecked, std::int64_t total);

// «12 MB/s», «3.4 MB/s», «0.25 MB/s»: whole MB/s (1 MB = 10^6 bytes) from 10
// up, with one decimal from 1, with two below.
std::string RateText(double bytesPerSecond);

// «0:42 left», «1:02:03 left», in whole seconds rounded up.
std::string TimeLeftText(double seconds);

// The line without its cursor controls, in fewer than `columns` columns so
// that the terminal never wraps it: the figures, then as much of the end of
// the current name as fits, after «...» when the start is cut. Where even
// the figures do not fit, the least needed of them are left out.
std::string ProgressLineText(const ProgressFigures& figures, std::size_t columns);

}  // namespace ovik
