#include "support/media/FuseMount.h"

#include "support/media/MountNamespace.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ovik::testing {

namespace {

constexpr const char* kConnections = "/sys/fs/fuse/connections";

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The "major:minor" of the FUSE file system mounted at `mountPoint`, empty
// while there is none. Mount points are compared as mountinfo writes them,
// which is plain for the temporary folders used here.
std::string MountedFuseDevice(const std::string& mountPoint) {
  std::istringstream table(FileText("/proc/thread-self/mountinfo"));
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    const std::size_t separator = line.find(" - ");
    if (point == mountPoint && separator != std::string::npos && line.compare(separator + 3, 4, "fuse") == 0)
      return device;
  }
  return {};
}

// The connections folder is where a hung FUSE connection is aborted; most
// systems mount it at boot, a bare container may not.
void MountFuseControl() {
  static const bool mounted = [] {
    if (FileText("/proc/thread-self/mountinfo").find(" - fusectl ") != std::string::npos) return true;
    return mount("fusectl", kConnections, "fusectl", 0, nullptr) == 0;
  }();
  (void)mounted;
}

}  // namespace

std::string FaultFsProgram() {
#ifdef OVIK_FAULTFS_BINARY
  return OVIK_FAULTFS_BINARY;
#else
  return {};
#endif
}

std::vector<FaultFsOperation> ReadFaultFsLog(const std::string& logFile) {
  std::vector<FaultFsOperation> operations;
  std::istringstream log(FileText(logFile));
  for (std::string line; std::getline(log, line);) {
    FaultFsOperation operation;
    std::istringstream fields(line);
    if (!(fields >> operation.operation >> operation.result) || fields.get() != ' ') continue;
    std::getline(fields, operation.name);
    operations.push_back(operation);
  }
  return operations;
}

FuseMount::FuseMount(const std::string& backing, const std::string& mountPoint,
                     const std::vector<std::string>& options, const std::string& logFile)
    : mountPoint_(mountPoint) {
  UsePrivateMounts();
  MountFuseControl();
  std::vector<std::string> arguments{FaultFsProgram()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(backing);
  arguments.push_back(mountPoint);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const int spawned = posix_spawn(&daemon_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    daemon_ = -1;
    error_ = "cannot start " + arguments[0];
    return;
  }
  mounted_ = WaitForMount(logFile);
}

bool FuseMount::WaitForMount(const std::string& logFile) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string device = MountedFuseDevice(mountPoint_);
    if (!device.empty()) {
      connection_ = std::string(kConnections) + "/" + device.substr(device.find(':') + 1);
      return true;
    }
    int status = 0;
    if (waitpid(daemon_, &status, WNOHANG) == daemon_) {
      daemon_ = -1;
      error_ = "ovik-test-faultfs ended before mounting: " + FileText(logFile);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  error_ = "ovik-test-faultfs did not mount within 10 s: " + FileText(logFile);
  return false;
}

void FuseMount::TearDown() {
  if (!connection_.empty()) {
    std::ofstream(connection_ + "/abort") << "1";
    connection_.clear();
  }
  if (mounted_ || !MountedFuseDevice(mountPoint_).empty()) umount2(mountPoint_.c_str(), MNT_DETACH);
  mounted_ = false;
  if (daemon_ > 0) {
    kill(daemon_, SIGKILL);
    waitpid(daemon_, nullptr, 0);
    daemon_ = -1;
  }
}

}  // namespace ovik::testing
