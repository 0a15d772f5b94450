// A fixed set of worker threads that take tasks in the order they were given. With a
// single worker no thread is started and each task runs at once on the caller's
// thread, so a one-CPU run is plainly sequential.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quen {

// The CPUs the process may run on (its affinity mask, which taskset and container
// limits set), at least 1.
unsigned usableCpuCount();

class WorkerPool {
  public:
    explicit WorkerPool(unsigned workers);
    // Drops the tasks not yet started and waits for the running ones.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned size() const { return workers_; }
    // The task must not throw.
    void submit(std::function<void()> task);

  private:
    void work();

    unsigned workers_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::jthread> threads_;
};

}  // namespace quen
