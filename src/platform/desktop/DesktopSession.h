#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ovik {

class BusConnection;

// The desktop's services for a window program: notifications, and the
// progress shown on the program's icon in the dock or task bar. Where there
// is no session bus or no such service, every operation does nothing.
// Nothing waits for the bus: calls go out and their answers are taken when
// the owner calls ProcessPending, which it does when Descriptor() is
// readable and, while HasPendingWork(), every few milliseconds.
class DesktopSession {
 public:
  // `appId`: the installed desktop file's name without ".desktop"; `icon`:
  // the program's icon name.
  DesktopSession(std::string appId, std::string icon);
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // Shows a notification in place of the last one this session showed;
  // clicking it calls `onActivated`.
  void Notify(const std::string& summary, const std::string& body, std::function<void()> onActivated);

  // The progress on the program's icon: `fraction` 0 to 1, `urgent` to
  // draw attention. Hidden again by HideProgress.
  void ShowProgress(double fraction, bool urgent);
  void HideProgress();

  void ProcessPending();
  bool HasPendingWork() const;
  // -1 once the bus is gone, or when there never was one.
  int Descriptor() const;

 private:
  // The bus's callbacks.
  struct Handlers;
  void WatchActions();
  void SendLauncherEntry(double fraction, bool visible, bool urgent);

  std::string appId_;
  std::string icon_;
  std::unique_ptr<BusConnection> bus_;
  bool watchingActions_ = false;
  std::uint32_t lastNotification_ = 0;
  std::function<void()> onActivated_;
};

}  // namespace ovik
