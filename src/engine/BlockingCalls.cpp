#include "engine/BlockingCalls.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace ovik {

struct BlockingCalls::Queue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::packaged_task<void()>> calls;  // handed over, not yet taken
  bool inCall = false;
  bool stopping = false;
};

BlockingCalls::BlockingCalls() : queue_(std::make_shared<Queue>()) {
  // The thread holds the queue, so that it outlives this object when the
  // thread is left behind in a call.
  thread_ = std::thread([queue = queue_] { Serve(queue); });
}

BlockingCalls::~BlockingCalls() {
  bool inCall = false;
  {
    const std::lock_guard lock(queue_->mutex);
    queue_->stopping = true;
    inCall = queue_->inCall;
  }
  queue_->changed.notify_all();
  if (inCall) thread_.detach();
  else thread_.join();
}

// A call queued behind one given up on starts once that one returns.
bool BlockingCalls::Run(std::function<void()> call, WaitHook& hook) {
  std::packaged_task<void()> task(std::move(call));
  std::future<void> done = task.get_future();
  {
    const std::lock_guard lock(queue_->mutex);
    queue_->calls.push_back(std::move(task));
  }
  queue_->changed.notify_all();
  while (done.wait_for(kWaitSlice) != std::future_status::ready)
    if (!hook.KeepWaiting(0)) return false;
  done.get();
  return true;
}

void BlockingCalls::Serve(const std::shared_ptr<Queue>& queue) {
  std::unique_lock lock(queue->mutex);
  for (;;) {
    queue->changed.wait(lock, [&] { return queue->stopping || !queue->calls.empty(); });
    if (queue->stopping) return;
    std::packaged_task<void()> call = std::move(queue->calls.front());
    queue->calls.pop_front();
    queue->inCall = true;
    lock.unlock();
    call();
    lock.lock();
    queue->inCall = false;
  }
}

}  // namespace ovik
