#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

struct sd_bus;
struct sd_bus_message;

namespace ovik {

struct BusMessageUnref {
  void operator()(sd_bus_message* message) const;
};
using BusMessage = std::unique_ptr<sd_bus_message, BusMessageUnref>;

enum class BusKind { System, Session };

// One connection to the system or the session message bus, or none when
// that bus cannot be reached. Nothing here ever waits without a limit: a
// slow or stuck bus costs at most the timeout a call is given.
class BusConnection {
 public:
  explicit BusConnection(BusKind kind);
  ~BusConnection();
  BusConnection(const BusConnection&) = delete;
  BusConnection& operator=(const BusConnection&) = delete;

  bool connected() const { return bus_ != nullptr; }
  // Connected and not closed since: a bus that went away stays away.
  bool IsOpen() const;
  sd_bus* get() const { return bus_; }

  // A new method call to `service`, to be filled and passed to Call or Send;
  // nothing when there is no bus.
  BusMessage NewMethodCall(const char* service, const char* path, const char* interface, const char* member) const;
  // Sends `call` and waits at most `timeout` for its reply; nothing when
  // the call failed or the time ran out.
  BusMessage Call(const BusMessage& call, std::chrono::milliseconds timeout) const;
  // Writes and reads whatever can be written and read now, and runs the
  // handlers of what came in; never waits.
  void ProcessPending() const;
  // Whether output is still queued or a reply is awaited.
  bool HasPendingWork() const;
  // The descriptor to watch for input; -1 without a bus.
  int Descriptor() const;
  // Lets queued output go out, waiting at most `timeout`.
  void Drain(std::chrono::milliseconds timeout) const;

 private:
  sd_bus* bus_ = nullptr;
};

// `text` with every byte sequence that is not UTF-8 replaced by U+FFFD: the
// bus carries only UTF-8 strings, and file names are bytes.
std::string BusText(std::string_view text);

}  // namespace ovik
