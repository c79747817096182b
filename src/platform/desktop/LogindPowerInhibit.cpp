// PowerInhibit on Linux: a "sleep" inhibitor lock of the login manager,
// held as the descriptor its Inhibit call returns; closing it releases the
// lock.
#include "platform/desktop/PowerInhibit.h"

#include "platform/desktop/BusConnection.h"

#include <systemd/sd-bus.h>

#include <fcntl.h>
#include <unistd.h>

namespace ovik {
namespace {

// The handshake with the bus and the call together; a busy machine's bus
// answers well within it.
constexpr std::chrono::milliseconds kInhibitTimeout{500};

int TakeSleepLock(const std::string& why) {
  const BusConnection bus(BusKind::System);
  BusMessage call = bus.NewMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                      "org.freedesktop.login1.Manager", "Inhibit");
  if (call == nullptr) return -1;
  const std::string reason = BusText(why);
  if (sd_bus_message_append(call.get(), "ssss", "sleep", "Ovik", reason.c_str(), "block") < 0) return -1;
  const BusMessage reply = bus.Call(call, kInhibitTimeout);
  int lock = -1;
  if (reply == nullptr || sd_bus_message_read(reply.get(), "h", &lock) < 0) return -1;
  // The reply owns its descriptor and closes it with the message.
  return fcntl(lock, F_DUPFD_CLOEXEC, 3);
}

}  // namespace

PowerInhibit::PowerInhibit(const std::string& why) : lock_(TakeSleepLock(why)) {}

PowerInhibit::~PowerInhibit() {
  if (lock_ >= 0) close(lock_);
}

}  // namespace ovik
