#include "platform/files/HelperThread.h"

#include "platform/WorkThread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace ovik {

struct HelperThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool taken = false;                              // a caller holds the helper
  const std::function<void()>* part = nullptr;     // handed over, not yet done
  std::exception_ptr failure;
  bool inPart = false;
  bool stopping = false;
};

HelperThread::~HelperThread() {
  if (!shared_) return;
  bool inPart = false;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    inPart = shared_->inPart;
  }
  shared_->changed.notify_all();
  if (inPart) thread_.detach();
  else thread_.join();
}

// Null when no thread can be started: the callers then do all the work.
std::shared_ptr<HelperThread::Shared> HelperThread::Start() {
  try {
    std::call_once(started_, [this] {
      auto shared = std::make_shared<Shared>();
      // The thread holds what it shares, so that it outlives this object
      // when it is left behind in a part.
      thread_ = std::thread([shared] { Serve(shared); });
      shared_ = std::move(shared);
    });
  } catch (const std::system_error&) {
    return nullptr;
  }
  return shared_;
}

void HelperThread::RunOnBoth(const std::function<void()>& part) {
  const std::shared_ptr<Shared> shared = Start();
  bool handed = false;
  if (shared) {
    const std::lock_guard lock(shared->mutex);
    if (!shared->taken && !shared->stopping) {
      shared->taken = true;
      shared->part = &part;
      shared->failure = nullptr;
      handed = true;
    }
  }
  if (handed) shared->changed.notify_all();
  std::exception_ptr failure;
  try {
    part();
  } catch (...) {
    failure = std::current_exception();
  }
  if (handed) {
    std::unique_lock lock(shared->mutex);
    // A part the helper has not taken yet is done already: the run here
    // took every piece.
    if (shared->part != nullptr && !shared->inPart) shared->part = nullptr;
    shared->changed.wait(lock, [&] { return shared->part == nullptr; });
    if (!failure) failure = shared->failure;
    shared->taken = false;
  }
  if (failure) std::rethrow_exception(failure);
}

void HelperThread::Serve(const std::shared_ptr<Shared>& shared) {
  StartWorkThread("ovik-helper");
  std::unique_lock lock(shared->mutex);
  const auto handed = [&] { return shared->stopping || (shared->part != nullptr && !shared->inPart); };
  for (;;) {
    // A folder's parts come a few dozen microseconds apart: the helper looks
    // out for the next one a moment before it sleeps, since waking it costs
    // more than that.
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
    while (!handed() && std::chrono::steady_clock::now() < until) {
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
    }
    shared->changed.wait(lock, handed);
    if (shared->stopping) return;
    const std::function<void()>& part = *shared->part;
    shared->inPart = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      part();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    shared->failure = failure;
    shared->inPart = false;
    shared->part = nullptr;
    shared->changed.notify_all();
  }
}

}  // namespace ovik
