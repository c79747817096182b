#include "platform/LocaleTime.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace ovik {
namespace {

// Switches LC_TIME for one test and restores it afterwards.
class TimeLocale {
 public:
  explicit TimeLocale(const char* name) : saved_(std::setlocale(LC_TIME, nullptr)) {
    ok_ = std::setlocale(LC_TIME, name) != nullptr;
  }
  ~TimeLocale() { std::setlocale(LC_TIME, saved_.c_str()); }
  TimeLocale(const TimeLocale&) = delete;
  TimeLocale& operator=(const TimeLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

TEST(LocaleLongTime, TwentyFourHourLocale) {
  TimeLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  EXPECT_EQ(FormatLocaleLongTime(0, 1, 5), "00:01:05");
  EXPECT_EQ(FormatLocaleLongTime(23, 59, 59), "23:59:59");
}

TEST(LocaleLongTime, TwelveHourLocaleWithMarkerBehind) {
  TimeLocale locale("en_US.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "locale en_US.UTF-8 is not installed (generate it with locale-gen)";
  EXPECT_EQ(FormatLocaleLongTime(0, 1, 5), "12:01:05 AM");
  EXPECT_EQ(FormatLocaleLongTime(13, 0, 0), "01:00:00 PM");
}

}  // namespace
}  // namespace ovik
