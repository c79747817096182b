#include "ui/browse/BrowseDriveProbe.h"

#include "BrowseTestSupport.h"
#include "support/FakeDriveSystem.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace ovik {
namespace {

using namespace std::chrono_literals;

TEST(BrowseDriveProbe, AHangingDriveIsRefusedWhileTheWindowKeepsRunning) {
  browse_test::EnsureApplication();
  testing::FakeDriveSystem system;  // may go before the abandoned worker ends
  system.hangingMounts.insert("/mnt/dead-nfs");
  system.hangFor = 2s;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DriveAnswersInTime("/mnt/dead-nfs", system, 300ms));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 1500ms);
  EXPECT_GT(ticks, 3);
}

TEST(BrowseDriveProbe, AnswersOfLiveAndDeadMedia) {
  browse_test::EnsureApplication();
  testing::FakeDriveSystem system;
  system.deadMounts.insert("/mnt/cd");
  EXPECT_TRUE(DriveAnswersInTime("/", system, 1s));
  EXPECT_FALSE(DriveAnswersInTime("/mnt/cd", system, 1s));
}

}  // namespace
}  // namespace ovik
