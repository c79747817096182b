#include "support/DesktopBuses.h"

#include "platform/desktop/BusConnection.h"
#include "platform/desktop/PowerInhibit.h"
#include "support/FileBytes.h"
#include "support/SystemCommands.h"

#include <systemd/sd-bus.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace ovik::testing {
namespace {

// dbusmock runs with the system's Python, where its package is installed,
// not with another Python that comes first on the search path.
constexpr const char* kSystemPython = "/usr/bin/python3";
constexpr std::chrono::milliseconds kCallTimeout{5000};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

void RestoreEnvironment(const char* name, const std::string& value) {
  if (value.empty()) unsetenv(name);
  else setenv(name, value.c_str(), 1);
}

std::string ReadString(sd_bus_message* message) {
  const char* text = nullptr;
  return sd_bus_message_read(message, "s", &text) >= 0 && text != nullptr ? text : "";
}

// The a{sv} of a launcher entry: doubles and booleans by name.
void ReadEntryProperties(sd_bus_message* message, LauncherEntry& entry) {
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) return;
  while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
    const std::string name = ReadString(message);
    char type = 0;
    const char* contents = nullptr;
    sd_bus_message_peek_type(message, &type, &contents);
    if (contents != nullptr && std::string(contents) == "d") {
      double value = 0;
      sd_bus_message_read(message, "v", "d", &value);
      if (name == "progress") entry.progress = value;
    } else if (contents != nullptr && std::string(contents) == "b") {
      int value = 0;
      sd_bus_message_read(message, "v", "b", &value);
      if (name == "progress-visible") entry.progressVisible = value != 0;
      if (name == "urgent") entry.urgent = value != 0;
    } else {
      sd_bus_message_skip(message, "v");
    }
    sd_bus_message_exit_container(message);
  }
  sd_bus_message_exit_container(message);
}

int TakeLauncherEntry(sd_bus_message* message, void* userdata, sd_bus_error*) {
  LauncherEntry entry;
  entry.uri = ReadString(message);
  ReadEntryProperties(message, entry);
  static_cast<std::vector<LauncherEntry>*>(userdata)->push_back(entry);
  return 0;
}

}  // namespace

std::string DesktopBusesMissing() {
  if (!ToolExists("dbus-daemon")) return "dbus-daemon is missing (apt-get install dbus-daemon)";
  if (RunCommand(std::string(kSystemPython) + " -c 'import dbusmock'").status != 0)
    return "python3-dbusmock is missing (apt-get install python3-dbusmock)";
  return {};
}

bool DesktopBusesRequired() { return std::getenv("OVIK_REQUIRE_DBUS_TEST") != nullptr; }

DesktopBuses::DesktopBuses()
    : previousSystem_(Environment("DBUS_SYSTEM_BUS_ADDRESS")), previousSession_(Environment("DBUS_SESSION_BUS_ADDRESS")) {
  const std::string systemSocket = work_.Path("system_bus_socket");
  const std::string sessionSocket = work_.Path("session_bus_socket");
  for (const std::string& socket : {systemSocket, sessionSocket})
    Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket});
  if (!WaitUntil([&] { return std::filesystem::exists(systemSocket) && std::filesystem::exists(sessionSocket); })) {
    error_ = "the private buses did not start";
    return;
  }
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + systemSocket).c_str(), 1);
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + sessionSocket).c_str(), 1);
  Start({kSystemPython, "-m", "dbusmock", "--template", "logind"});
  Start({kSystemPython, "-m", "dbusmock", "--template", "notification_daemon", "-l", work_.Path("notify.log")});
  system_ = std::make_unique<BusConnection>(BusKind::System);
  session_ = std::make_unique<BusConnection>(BusKind::Session);
  // A connection made while a bus was not yet listening stays closed: it
  // is made again until the service answers.
  const auto answers = [&](std::unique_ptr<BusConnection>& bus, BusKind kind, const char* service, const char* path,
                           const char* interface, const char* member) {
    if (!bus->IsOpen()) bus = std::make_unique<BusConnection>(kind);
    return bus->Call(bus->NewMethodCall(service, path, interface, member), kCallTimeout) != nullptr;
  };
  if (!WaitUntil([&] {
        return answers(system_, BusKind::System, "org.freedesktop.login1", "/org/freedesktop/login1",
                       "org.freedesktop.login1.Manager", "ListInhibitors") &&
               answers(session_, BusKind::Session, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                       "org.freedesktop.Notifications", "GetServerInformation");
      }))
    error_ = "the mocked login manager or notification daemon did not start";
  else if (!WarmUpLoginManager())
    error_ = "the mocked login manager gave no lock, or kept it";
}

// The mock's first lock is its slowest; one is taken and let go here.
bool DesktopBuses::WarmUpLoginManager() {
  if (!PowerInhibit("warming up").held()) return false;
  return WaitUntil([&] { return Inhibitors().empty(); });
}

DesktopBuses::~DesktopBuses() {
  system_.reset();
  session_.reset();
  for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
    kill(*it, SIGTERM);
    waitpid(*it, nullptr, 0);
  }
  RestoreEnvironment("DBUS_SYSTEM_BUS_ADDRESS", previousSystem_);
  RestoreEnvironment("DBUS_SESSION_BUS_ADDRESS", previousSession_);
}

// The process ends with this one, also when a test is killed.
pid_t DesktopBuses::Start(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::string messages = work_.Path("messages");
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int quiet = open("/dev/null", O_WRONLY);
    const int log = open(messages.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(quiet, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (pid > 0) processes_.push_back(pid);
  return pid;
}

// The mocks are Python programs: at the start of a parallel test run, beside
// tests that make and mount file systems, they have been seen to take
// longer than 20 s to come up.
bool DesktopBuses::WaitUntil(const std::function<bool()>& ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<Inhibitor> DesktopBuses::Inhibitors() const {
  std::vector<Inhibitor> inhibitors;
  const BusMessage reply = system_->Call(system_->NewMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                                "org.freedesktop.login1.Manager", "ListInhibitors"),
                                         kCallTimeout);
  if (reply == nullptr || sd_bus_message_enter_container(reply.get(), 'a', "(ssssuu)") <= 0) return inhibitors;
  const char *what, *who, *why, *mode;
  std::uint32_t uid, pid;
  while (sd_bus_message_read(reply.get(), "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0)
    inhibitors.push_back({what, who, why, mode});
  return inhibitors;
}

std::vector<std::string> DesktopBuses::NotifyCalls() const {
  std::vector<std::string> calls;
  std::istringstream log(ReadFileBytes(work_.Path("notify.log")));
  for (std::string line; std::getline(log, line);) {
    const std::size_t at = line.find(" Notify ");
    if (at != std::string::npos) calls.push_back(line.substr(at + 1));
  }
  return calls;
}

void DesktopBuses::ClickNotification(std::uint32_t id) const {
  BusMessage call = session_->NewMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                            "org.freedesktop.DBus.Mock", "EmitSignal");
  sd_bus_message_append(call.get(), "sssav", "org.freedesktop.Notifications", "ActionInvoked", "us", 2, "u", id, "s",
                        "default");
  session_->Call(call, kCallTimeout);
}

void DesktopBuses::ListenToLauncherEntries() {
  entries_.clear();
  if (listening_) return;
  listening_ = true;
  sd_bus_add_match(session_->get(), nullptr,
                   "type='signal',interface='com.canonical.Unity.LauncherEntry',member='Update'", TakeLauncherEntry,
                   &entries_);
}

std::vector<LauncherEntry> DesktopBuses::CollectLauncherEntries() {
  session_->ProcessPending();
  return entries_;
}

}  // namespace ovik::testing
