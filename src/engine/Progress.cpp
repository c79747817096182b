#include "engine/VerifyEngine.h"

#include "platform/LocaleTime.h"

#include <algorithm>
#include <cmath>

namespace ovik {

std::string FormatElapsedTime(double elapsedDays) {
  // A hair added before truncating keeps whole seconds that floating point
  // holds as 4.9999… from showing one second short.
  const auto totalSeconds = static_cast<std::int64_t>(std::floor(elapsedDays * kSecondsPerDay + 1e-6));
  const std::int64_t days = totalSeconds / 86400;
  const auto secondsOfDay = static_cast<int>(totalSeconds % 86400);
  std::string text = FormatLocaleLongTime(secondsOfDay / 3600, secondsOfDay / 60 % 60, secondsOfDay % 60);
  if (days > 0) text = std::to_string(days) + "d " + text;
  return text;
}

double VerifyEngine::Elapsed() { return clock_.SteadyNow() - totals.StartSteady; }

void VerifyEngine::ShowElapsed() {
  const double elapsed = Elapsed();
  if (elapsed < kOneSecond) {
    view_.SetLabelVisible(ViewLabel::ElapsedTime, false);
    view_.SetLabelVisible(ViewLabel::Elapsed, false);
    return;
  }
  if (elapsed - totals.LastShownElapsed < kOneSecond) return;
  totals.LastShownElapsed = elapsed;
  view_.SetLabelText(ViewLabel::ElapsedTime, FormatElapsedTime(elapsed));
  view_.SetLabelVisible(ViewLabel::ElapsedTime, true);
  view_.SetLabelVisible(ViewLabel::Elapsed, true);
  view_.Pump();
}

void VerifyEngine::ShowProgress(std::int64_t currentFileBytes) {
  std::int64_t position = 0;
  if (totals.SrcByteTotal > 0)
    position = (totals.DstByteTotal + currentFileBytes) * 100 / totals.SrcByteTotal;
  view_.SetProgress(static_cast<int>(std::clamp<std::int64_t>(position, 0, 100)));
  view_.SetProgressColour(totals.ErrorCount != 0 ? Colour::Red : Colour::Green);
  view_.Pump();
}

}  // namespace ovik
