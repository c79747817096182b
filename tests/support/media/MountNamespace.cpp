#include "support/media/MountNamespace.h"

#include <sched.h>
#include <sys/mount.h>

namespace ovik::testing {

bool UsePrivateMounts() {
  static const bool isPrivate = [] {
    if (unshare(CLONE_NEWNS) != 0) return false;
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return isPrivate;
}

}  // namespace ovik::testing
