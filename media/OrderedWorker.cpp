// One condition variable serves both sides: the worker waits for tasks, the giver for
// room or for the queue to empty. Each side is woken for a batch, not for every task:
// a wakeup costs more than a small task, and nobody waits on a single one.
#include "media/OrderedWorker.h"

namespace quen {

OrderedWorker::OrderedWorker(bool threaded) {
    if (threaded) {
        thread_ = std::jthread([this] { work(); });
        // The thread has set itself up (rseq, robust futex list) by the time this
        // returns: a filter on system calls set after it then meets none of that.
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
}

OrderedWorker::~OrderedWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

void OrderedWorker::submit(std::function<void()> task) {
    if (!thread_.joinable()) {
        task();
        return;
    }
    bool wake = false;
    {
        std::unique_lock lock(mutex_);
        if (tasks_.size() >= MAX_WAITING) {
            // Back in once the worker has half the queue behind it.
            changed_.wait(lock, [this] { return tasks_.size() <= MAX_WAITING / 2; });
        }
        tasks_.push_back(std::move(task));
        wake = idle_ && tasks_.size() >= MAX_WAITING / 2;
    }
    if (wake) {
        changed_.notify_all();
    }
}

void OrderedWorker::wait() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    if (idle_ && !tasks_.empty()) {
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return tasks_.empty() && !running_; });
    --waiting_;
}

void OrderedWorker::work() {
    std::unique_lock lock(mutex_);
    started_ = true;
    changed_.notify_all();
    for (;;) {
        if (tasks_.empty()) {
            // Whoever waits for the queue to empty is told.
            changed_.notify_all();
            idle_ = true;
            changed_.wait(lock, [this] {
                return stopping_ || tasks_.size() >= MAX_WAITING / 2 ||
                       (waiting_ > 0 && !tasks_.empty());
            });
            idle_ = false;
            if (tasks_.empty()) {
                return;
            }
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        const bool roomMade = tasks_.size() == MAX_WAITING / 2;
        running_ = true;
        lock.unlock();
        if (roomMade) {
            changed_.notify_all();
        }
        task();
        lock.lock();
        running_ = false;
    }
}

}  // namespace quen
