#include "platform/LocaleTime.h"

#include "support/ScopedLocale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace ovik {
namespace {


TEST(LocaleLongTime, TwentyFourHourLocale) {
  testing::ScopedLocale locale(LC_TIME, "C.UTF-8");
  ASSERT_TRUE(locale.ok());
  EXPECT_EQ(FormatLocaleLongTime(0, 1, 5), "00:01:05");
  EXPECT_EQ(FormatLocaleLongTime(23, 59, 59), "23:59:59");
}

TEST(LocaleLongTime, TwelveHourLocaleWithMarkerBehind) {
  testing::ScopedLocale locale(LC_TIME, "en_US.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "locale en_US.UTF-8 is not installed (generate it with locale-gen)";
  EXPECT_EQ(FormatLocaleLongTime(0, 1, 5), "12:01:05 AM");
  EXPECT_EQ(FormatLocaleLongTime(13, 0, 0), "01:00:00 PM");
}

}  // namespace
}  // namespace ovik
