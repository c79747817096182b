#include "OneHead.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace ovik::faultfs {

OneHead::OneHead(const DriveModel& model, int backing, double timeScale, const std::string& countsFile)
    : drive_(model), platter_(backing), timeScale_(timeScale) {
  if (!countsFile.empty()) countsFile_ = open(countsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  WriteCounts();
}

OneHead::~OneHead() {
  if (countsFile_ >= 0) close(countsFile_);
}

std::list<std::int64_t>::iterator OneHead::Nearest() {
  return std::min_element(waiting_.begin(), waiting_.end(), [this](std::int64_t a, std::int64_t b) {
    return drive_.Distance(a) < drive_.Distance(b);
  });
}

std::uint64_t OneHead::InodeOf(const std::string& name) {
  const std::lock_guard lock(mutex_);
  return static_cast<std::uint64_t>(platter_.Position(name, 0) / 4096) + 2;
}

void OneHead::Read(const std::string& name, std::int64_t offset, std::int64_t length) {
  std::unique_lock lock(mutex_);
  const std::int64_t position = platter_.Position(name, offset);
  const auto mine = waiting_.insert(waiting_.end(), position);
  headFree_.wait(lock, [&] { return !busy_ && Nearest() == mine; });
  waiting_.erase(mine);
  busy_ = true;
  const std::chrono::microseconds cost = drive_.Read(position, length);
  WriteCounts();
  lock.unlock();
  if (timeScale_ > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::micro>(cost.count() * timeScale_));
  lock.lock();
  busy_ = false;
  headFree_.notify_all();
}

// One line of fixed width written over the last, so that a reader never
// sees a shorter line with the rest of an older one behind it.
void OneHead::WriteCounts() {
  if (countsFile_ < 0) return;
  const HeadCounts& counts = drive_.counts();
  char line[160];
  const int size = std::snprintf(line, sizeof line, "reads %20lld bytes %20lld seeks %20lld busy_us %20lld\n",
                                 static_cast<long long>(counts.reads), static_cast<long long>(counts.bytes),
                                 static_cast<long long>(counts.seeks), static_cast<long long>(counts.busy.count()));
  (void)!pwrite(countsFile_, line, static_cast<std::size_t>(size), 0);
}

}  // namespace ovik::faultfs
