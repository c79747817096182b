#pragma once

#include "support/TempTree.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovik {
class BusConnection;
}

namespace ovik::testing {

// Why this machine cannot run private buses with the desktop's services
// mocked (dbus-daemon, python3-dbusmock); empty when it can.
std::string DesktopBusesMissing();
// Whether missing buses fail the test rather than skip it
// (OVIK_REQUIRE_DBUS_TEST).
bool DesktopBusesRequired();

// One inhibitor lock as the login manager lists it.
struct Inhibitor {
  std::string what, who, why, mode;
};

// One launcher entry signal as the docks read it.
struct LauncherEntry {
  std::string uri;
  double progress = -1;
  bool progressVisible = false;
  bool urgent = false;
};

// A private system bus with python3-dbusmock's login manager on it and a
// private session bus with its notification daemon, while the object
// lives. DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS point at
// them meanwhile, for this process and the programs it starts.
class DesktopBuses {
 public:
  DesktopBuses();
  ~DesktopBuses();
  DesktopBuses(const DesktopBuses&) = delete;
  DesktopBuses& operator=(const DesktopBuses&) = delete;

  // Why the buses or the mocks did not come up; empty when they did.
  const std::string& error() const { return error_; }

  std::vector<Inhibitor> Inhibitors() const;
  // The Notify calls the notification daemon received, as its log writes
  // them: «Notify "Ovik" 0 "ovik" "Verified OK" "3 files, ..." ...».
  std::vector<std::string> NotifyCalls() const;
  // Makes the notification daemon report a click on notification `id`.
  void ClickNotification(std::uint32_t id) const;

  // Launcher entry signals on the session bus from now on; Collect gives
  // the ones that have arrived since.
  void ListenToLauncherEntries();
  std::vector<LauncherEntry> CollectLauncherEntries();

 private:
  pid_t Start(const std::vector<std::string>& argv);
  bool WaitUntil(const std::function<bool()>& ready);
  bool WarmUpLoginManager();

  TempTree work_;
  std::string previousSystem_, previousSession_;
  std::vector<pid_t> processes_;
  std::unique_ptr<BusConnection> system_, session_;
  std::vector<LauncherEntry> entries_;
  bool listening_ = false;
  std::string error_;
};

}  // namespace ovik::testing

// Skips the test when the machine cannot run the buses, or fails it where
// the environment requires them.
#define OVIK_REQUIRE_DESKTOP_BUSES()                                                          \
  do {                                                                                        \
    const std::string ovikBusesMissing = ::ovik::testing::DesktopBusesMissing();              \
    if (ovikBusesMissing.empty()) break;                                                      \
    if (::ovik::testing::DesktopBusesRequired()) FAIL() << ovikBusesMissing;                  \
    GTEST_SKIP() << "desktop bus test skipped: " << ovikBusesMissing;                         \
  } while (false)
