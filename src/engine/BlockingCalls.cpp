#include "engine/BlockingCalls.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <utility>

namespace ovik {

struct BlockingCalls::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> call;  // handed over, not yet taken
  bool busy = false;           // a call is running
  std::uint64_t finished = 0;  // calls run to their end
  std::exception_ptr failure;  // of the call that ended last
  bool stopping = false;
};

namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(50);

}  // namespace

BlockingCalls::BlockingCalls() : shared_(std::make_shared<Shared>()) {
  // The thread holds the shared state, so that it outlives this object when
  // the thread is left behind in a call.
  thread_ = std::thread([shared = shared_] { Serve(shared); });
}

BlockingCalls::~BlockingCalls() {
  bool inCall = false;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    inCall = shared_->busy;
  }
  shared_->changed.notify_all();
  if (inCall) thread_.detach();
  else thread_.join();
}

bool BlockingCalls::Run(std::function<void()> call, WaitHook& hook) {
  std::unique_lock lock(shared_->mutex);
  // Waits in slices, asking the hook without the lock held.
  const auto waitUntil = [&](auto done) {
    while (!done()) {
      if (shared_->changed.wait_for(lock, kWaitSlice, done)) return true;
      lock.unlock();
      const bool keepWaiting = hook.KeepWaiting();
      lock.lock();
      if (!keepWaiting) return false;
    }
    return true;
  };
  // A call given up on before may still be running.
  if (!waitUntil([&] { return !shared_->busy; })) return false;
  shared_->call = std::move(call);
  const std::uint64_t target = shared_->finished + 1;
  shared_->changed.notify_all();
  if (!waitUntil([&] { return shared_->finished >= target; })) return false;
  // What the call threw goes on in the caller, as if the call ran there.
  if (std::exception_ptr failure = std::exchange(shared_->failure, nullptr)) {
    lock.unlock();
    std::rethrow_exception(failure);
  }
  return true;
}

void BlockingCalls::Serve(const std::shared_ptr<Shared>& shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->changed.wait(lock, [&] { return shared->stopping || shared->call; });
    if (shared->stopping) return;
    std::function<void()> call = std::move(shared->call);
    shared->call = nullptr;
    shared->busy = true;
    shared->failure = nullptr;
    lock.unlock();
    std::exception_ptr failure;
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    shared->failure = failure;
    shared->busy = false;
    ++shared->finished;
    shared->changed.notify_all();
  }
}

}  // namespace ovik
