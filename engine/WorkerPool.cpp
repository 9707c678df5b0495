#include "engine/WorkerPool.h"

#include <system_error>
#include <utility>

namespace bnscore::internal {

WorkerPool::~WorkerPool() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  ready_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

bool WorkerPool::Submit(std::function<void()> task, int threads) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (threads_.size() < static_cast<std::size_t>(threads)) {
      try {
        threads_.emplace_back([this] { Loop(); });
      } catch (const std::system_error&) {
        if (threads_.empty()) return false;  // the caller runs it
      }
    }
    queue_.push_back(std::move(task));
  }
  ready_.notify_one();
  return true;
}

void WorkerPool::Loop() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and nothing left to run
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
  }
}

}  // namespace bnscore::internal
