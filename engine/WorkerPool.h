#ifndef BNSCORE_ENGINE_WORKERPOOL_H_
#define BNSCORE_ENGINE_WORKERPOOL_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace bnscore::internal {

// The engine's one set of worker threads, owned by a loaded model and
// shared by every call that scores on more than one thread (Model::Score's
// parts, ScoreCsv's blocks), from any number of calling threads at once.
//
// Threads are started when first needed, up to the most any call asked
// for, and then kept until the pool goes; the destructor stops and joins
// them, after the tasks queued have run. Tasks run in the order queued;
// they must not throw, and must not wait for other tasks of the pool (the
// callers wait on their own tasks from outside).
class WorkerPool {
 public:
  WorkerPool() = default;
  ~WorkerPool();

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues `task` for one of up to `threads` workers. Returns false, doing
  // nothing, when the pool has no thread and none can be started: the
  // caller then runs the task itself.
  bool Submit(std::function<void()> task, int threads);

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;  // guarded by mutex_
  bool stopping_ = false;                    // guarded by mutex_
  std::vector<std::thread> threads_;         // guarded by mutex_
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_WORKERPOOL_H_
