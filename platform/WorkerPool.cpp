// Worker threads over one task queue, and the CPU count from the affinity mask.
#include "platform/WorkerPool.h"

#include <sched.h>

#include "platform/ProcessSetup.h"

namespace quen {

unsigned usableCpuCount() {
    cpu_set_t cpus{};
    if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0) {
        return 1;
    }
    const int count = CPU_COUNT(&cpus);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

WorkerPool::WorkerPool(unsigned workers) : workers_(workers > 0 ? workers : 1) {
    if (workers_ > 1) {
        for (unsigned i = 0; i < workers_; ++i) {
            threads_.emplace_back([this] { work(); });
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    ready_.notify_all();
}

void WorkerPool::submit(std::function<void()> task) {
    if (threads_.empty()) {
        task();
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
}

void WorkerPool::work() {
    blockTerminationSignals();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace quen
