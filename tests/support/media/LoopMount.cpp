#include "support/media/LoopMount.h"

#include "support/media/MountNamespace.h"
#include "support/SystemCommands.h"

#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace ovik::testing {

namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

// A process that still looks at the file system (a udev probe, say) may
// keep it busy for a moment.
void UnmountPatiently(const std::string& mountPoint) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (umount2(mountPoint.c_str(), 0) == 0) return;
    if (errno != EBUSY) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  umount2(mountPoint.c_str(), MNT_DETACH);
}

LoopMount::LoopMount(const std::string& image, const std::string& mountPoint, const std::string& type,
                     bool readOnly, bool directIo)
    : mountPoint_(mountPoint) {
  UsePrivateMounts();
  const CommandResult attach = RunCommand(std::string("losetup --find --show ") + (readOnly ? "--read-only " : "") +
                                          (directIo ? "--direct-io=on " : "") + Quoted(image));
  if (attach.status != 0 || attach.output.rfind("/dev/", 0) != 0) {
    error_ = "losetup failed: " + attach.output;
    return;
  }
  device_ = Trimmed(attach.output);
  if (mount(device_.c_str(), mountPoint_.c_str(), type.c_str(), readOnly ? MS_RDONLY : 0, nullptr) != 0) {
    error_ = "mounting " + device_ + " as " + type + " failed: " + std::strerror(errno);
    return;
  }
  mounted_ = true;
  // Detaching a mounted device only marks it: it goes once unmounted, also
  // when the test process dies and its mounts with it.
  RunCommand("losetup -d " + Quoted(device_));
}

void LoopMount::TearDown() {
  if (mounted_) UnmountPatiently(mountPoint_);
  else if (!device_.empty()) RunCommand("losetup -d " + Quoted(device_));
  mounted_ = false;
  device_.clear();
}

bool LoopMount::UsesDirectIo() const {
  std::ifstream flag("/sys/block/" + device_.substr(device_.rfind('/') + 1) + "/loop/dio");
  int value = 0;
  return flag >> value && value == 1;
}

}  // namespace ovik::testing
