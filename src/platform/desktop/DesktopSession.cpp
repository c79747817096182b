// DesktopSession on a free desktop: org.freedesktop.Notifications for the
// notifications, and the launcher entry signal that the docks and task
// managers read for the progress on a program's icon.
#include "platform/desktop/DesktopSession.h"

#include "platform/desktop/BusConnection.h"

#include <systemd/sd-bus.h>

#include <algorithm>

namespace ovik {
namespace {

constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr std::chrono::milliseconds kDrainTimeout{200};
// How long a notification call may go unanswered before its reply is given up.
constexpr std::uint64_t kNotifyTimeoutUs = 500'000;

// The object path the launcher entry signal comes from: the id's dotted
// parts as path elements (a path may not hold "-").
std::string LauncherEntryPath(const std::string& appId) {
  std::string path = "/" + appId + "/LauncherEntry";
  std::replace(path.begin(), path.end(), '.', '/');
  std::replace(path.begin(), path.end(), '-', '_');
  return path;
}

}  // namespace

struct DesktopSession::Handlers {
  static int OnNotifyReply(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int OnActionInvoked(sd_bus_message* signal, void* self, sd_bus_error* error);
};

DesktopSession::DesktopSession(std::string appId, std::string icon)
    : appId_(std::move(appId)), icon_(std::move(icon)), bus_(std::make_unique<BusConnection>(BusKind::Session)) {}

// The last signals (the progress hidden) still go out.
DesktopSession::~DesktopSession() { bus_->Drain(kDrainTimeout); }

void DesktopSession::ProcessPending() { bus_->ProcessPending(); }

bool DesktopSession::HasPendingWork() const { return bus_->HasPendingWork(); }

int DesktopSession::Descriptor() const { return bus_->IsOpen() ? bus_->Descriptor() : -1; }

// The match goes out before the first notification, so that no click on it
// comes before the session listens.
void DesktopSession::WatchActions() {
  if (watchingActions_ || !bus_->connected()) return;
  watchingActions_ = sd_bus_match_signal_async(bus_->get(), nullptr, kNotifications, kNotificationsPath,
                                               kNotifications, "ActionInvoked", Handlers::OnActionInvoked, nullptr, this) >= 0;
}

void DesktopSession::Notify(const std::string& summary, const std::string& body, std::function<void()> onActivated) {
  BusMessage call = bus_->NewMethodCall(kNotifications, kNotificationsPath, kNotifications, "Notify");
  if (call == nullptr) return;
  WatchActions();
  onActivated_ = std::move(onActivated);
  const std::string desktopEntry = BusText(appId_);
  // The default action is the click on the notification; its label is for
  // servers that show it as a button.
  const bool filled =
      sd_bus_message_append(call.get(), "susss", "Ovik", lastNotification_, BusText(icon_).c_str(),
                            BusText(summary).c_str(), BusText(body).c_str()) >= 0 &&
      sd_bus_message_append(call.get(), "as", 2, "default", "Show Ovik") >= 0 &&
      sd_bus_message_append(call.get(), "a{sv}", 1, "desktop-entry", "s", desktopEntry.c_str()) >= 0 &&
      sd_bus_message_append(call.get(), "i", -1) >= 0;
  if (!filled) return;
  sd_bus_call_async(bus_->get(), nullptr, call.get(), Handlers::OnNotifyReply, this, kNotifyTimeoutUs);
  ProcessPending();
}

int DesktopSession::Handlers::OnNotifyReply(sd_bus_message* reply, void* self, sd_bus_error*) {
  std::uint32_t id = 0;
  if (!sd_bus_message_is_method_error(reply, nullptr) && sd_bus_message_read(reply, "u", &id) >= 0)
    static_cast<DesktopSession*>(self)->lastNotification_ = id;
  return 0;
}

int DesktopSession::Handlers::OnActionInvoked(sd_bus_message* signal, void* self, sd_bus_error*) {
  auto& session = *static_cast<DesktopSession*>(self);
  std::uint32_t id = 0;
  const char* action = nullptr;
  if (sd_bus_message_read(signal, "us", &id, &action) < 0) return 0;
  if (id != 0 && id == session.lastNotification_ && std::string_view(action) == "default" && session.onActivated_)
    session.onActivated_();
  return 0;
}

void DesktopSession::ShowProgress(double fraction, bool urgent) {
  SendLauncherEntry(std::clamp(fraction, 0.0, 1.0), true, urgent);
}

void DesktopSession::HideProgress() { SendLauncherEntry(0.0, false, false); }

void DesktopSession::SendLauncherEntry(double fraction, bool visible, bool urgent) {
  if (!bus_->connected()) return;
  sd_bus_message* signal = nullptr;
  const std::string path = LauncherEntryPath(appId_);
  if (sd_bus_message_new_signal(bus_->get(), &signal, path.c_str(), "com.canonical.Unity.LauncherEntry", "Update") < 0)
    return;
  const BusMessage owned(signal);
  const std::string uri = BusText("application://" + appId_ + ".desktop");
  if (sd_bus_message_append(signal, "sa{sv}", uri.c_str(), 3, "progress", "d", fraction, "progress-visible", "b",
                            static_cast<int>(visible), "urgent", "b", static_cast<int>(urgent)) < 0)
    return;
  sd_bus_send(bus_->get(), signal, nullptr);
  ProcessPending();
}

}  // namespace ovik
