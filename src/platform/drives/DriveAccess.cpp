#include "platform/drives/DriveAccess.h"

#include <memory>
#include <thread>

namespace ovik {

std::future<bool> ProbeDrive(const std::string& mountPoint, const DriveSystem& system) {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> result = answer->get_future();
  std::thread([answer, mountPoint, &system] {
    bool known = false;
    try {
      known = system.MediumSizeKnown(mountPoint);
    } catch (...) {
    }
    answer->set_value(known);
  }).detach();
  return result;
}

bool DriveIsAccessible(const std::string& mountPoint, const DriveSystem& system, std::chrono::milliseconds timeout) {
  std::future<bool> answer = ProbeDrive(mountPoint, system);
  return answer.wait_for(timeout) == std::future_status::ready && answer.get();
}

}  // namespace ovik
