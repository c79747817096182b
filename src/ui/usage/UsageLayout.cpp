#include "ui/usage/UsageLayout.h"

#include <algorithm>

namespace ovik {

namespace {
constexpr int kMemoLeft = 4;
constexpr int kMemoTop = 8;
constexpr int kMemoWidth = 497;
constexpr int kButtonLeft = 440;
constexpr int kButtonWidth = 65;
constexpr int kButtonHeight = 23;
constexpr int kGapMemoToButton = 8;
constexpr int kBottomMargin = 14;
}  // namespace

UsageLayout UsageLayoutFor(int clientHeight) {
  const int height = std::max(clientHeight, kUsageMinClientHeight);
  const int memoHeight = height - kMemoTop - kButtonHeight - kBottomMargin;
  const int buttonTop = kMemoTop + memoHeight + kGapMemoToButton;
  return {QRect(kMemoLeft, kMemoTop, kMemoWidth, memoHeight),
          QRect(kButtonLeft, buttonTop, kButtonWidth, kButtonHeight)};
}

}  // namespace ovik
