#include "platform/DriveAccess.h"

#include <future>
#include <memory>
#include <thread>

namespace ovik {

bool DriveIsAccessible(const std::string& mountPoint, const DriveSystem& system, std::chrono::milliseconds timeout) {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> result = answer->get_future();
  // The worker owns its copy of everything it touches except `system`, which
  // lives for the process (the machine's) or for the test that owns it.
  std::thread([answer, mountPoint, &system] {
    try {
      answer->set_value(system.MediumSizeKnown(mountPoint));
    } catch (...) {
      answer->set_value(false);
    }
  }).detach();
  if (result.wait_for(timeout) != std::future_status::ready) return false;
  return result.get();
}

}  // namespace ovik
