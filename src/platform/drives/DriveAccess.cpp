#include "platform/drives/DriveAccess.h"

#include <memory>
#include <thread>

namespace ovik {

std::future<bool> ProbeDrive(const std::string& mountPoint, const DriveSystem& system) {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> result = answer->get_future();
  std::thread([answer, query = system.MediumSizeQuery(mountPoint)] {
    bool known = false;
    try {
      known = query();
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
