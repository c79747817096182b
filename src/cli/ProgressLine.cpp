#include "cli/ProgressLine.h"

#include "cli/TerminalText.h"
#include "common/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ovik {
namespace {

constexpr double kBytesPerMegabyte = 1e6;
constexpr double kFastestRateShown = 1e15;
constexpr double kLongestSecondsShown = 1e8;  // some three years
constexpr std::string_view kCutMark = "...";

std::string TwoDigits(std::int64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// Built from whole numbers so that the locale's decimal comma stays out.
std::string WithDecimals(std::int64_t scaled, int decimals) {
  const std::int64_t unit = decimals == 2 ? 100 : 10;
  std::string fraction = std::to_string(scaled % unit);
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  return std::to_string(scaled / unit) + "." + fraction;
}

// «42% 1,234 bytes checked, 3 files, ...»: the percentage, then the parts
// that are not empty.
std::string JoinedFigures(int percent, const std::vector<std::string>& parts) {
  std::string text = std::to_string(percent) + "%";
  const char* separator = " ";
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    text.append(separator).append(part);
    separator = ", ";
  }
  return text;
}

// On a narrow terminal the figures least needed to plan with go first: the
// file count, then the bytes checked, then the elapsed time.
std::string FiguresText(const ProgressFigures& figures, std::size_t room) {
  enum Part { kBytes, kFiles, kElapsed };
  std::vector<std::string> parts{FormatThousands(figures.bytesChecked) + " bytes checked",
                                 FormatThousands(figures.filesChecked) + " files", figures.elapsed};
  if (figures.bytesPerSecond) parts.push_back(RateText(*figures.bytesPerSecond));
  if (figures.secondsLeft) parts.push_back(TimeLeftText(*figures.secondsLeft));
  std::string text = JoinedFigures(figures.percent, parts);
  for (Part dropped : {kFiles, kBytes, kElapsed}) {
    if (DisplayWidth(text) <= room) break;
    parts[dropped].clear();
    text = JoinedFigures(figures.percent, parts);
  }
  return text;
}

}  // namespace

int PercentChecked(std::int64_t bytesChecked, std::int64_t total) {
  if (total <= 0 || bytesChecked <= 0) return 0;
  if (bytesChecked >= total) return 100;
  return static_cast<int>(std::floor(100.0 * static_cast<double>(bytesChecked) / static_cast<double>(total)));
}

std::string RateText(double bytesPerSecond) {
  const double megabytes = std::clamp(bytesPerSecond, 0.0, kFastestRateShown) / kBytesPerMegabyte;
  const auto hundredths = std::llround(megabytes * 100);
  if (hundredths >= 1000) return FormatThousands(std::llround(megabytes)) + " MB/s";
  if (hundredths >= 100) return WithDecimals(std::llround(megabytes * 10), 1) + " MB/s";
  return WithDecimals(hundredths, 2) + " MB/s";
}

std::string TimeLeftText(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::ceil(std::clamp(seconds, 0.0, kLongestSecondsShown)));
  const std::int64_t hours = whole / 3600;
  const std::int64_t minutes = whole / 60 % 60;
  const std::string text = hours > 0 ? std::to_string(hours) + ":" + TwoDigits(minutes) : std::to_string(minutes);
  return text + ":" + TwoDigits(whole % 60) + " left";
}

std::string ProgressLineText(const ProgressFigures& figures, std::size_t columns) {
  const std::size_t room = columns > 0 ? columns - 1 : 0;
  const std::string text = FiguresText(figures, room);
  const std::string name = WithoutControls(figures.currentName);
  const std::size_t textWidth = DisplayWidth(text);
  if (textWidth >= room) return std::string(HeadFitting(text, room));
  if (name.empty()) return text;
  const std::size_t nameRoom = room - textWidth - 1;
  if (DisplayWidth(name) <= nameRoom) return text + " " + name;
  const std::string_view tail = TailFitting(name, nameRoom > kCutMark.size() ? nameRoom - kCutMark.size() : 0);
  if (tail.empty()) return text;
  return text + " " + std::string(kCutMark) + std::string(tail);
}

}  // namespace ovik
