#include "platform/WorkThread.h"

#include <pthread.h>
#include <sched.h>

namespace ovik {

void ScheduleAsThroughputWork() {
  // Needs no privilege; where it is refused the thread runs as before.
  const sched_param normal{};
  pthread_setschedparam(pthread_self(), SCHED_BATCH, &normal);
}

void StartWorkThread(const char* name) {
  pthread_setname_np(pthread_self(), name);
  ScheduleAsThroughputWork();
}

}  // namespace ovik
