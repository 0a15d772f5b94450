// One condition variable serves both sides: the worker waits for a task, the giver for
// room or for the queue to empty. Few wait at once, so waking all of them is cheap.
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
    bool wasIdle = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return tasks_.size() < MAX_WAITING; });
        wasIdle = tasks_.empty() && !running_;
        tasks_.push_back(std::move(task));
    }
    // A busy worker finds the task when it looks again: no wakeup is owed.
    if (wasIdle) {
        changed_.notify_all();
    }
}

void OrderedWorker::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return tasks_.empty() && !running_; });
}

void OrderedWorker::work() {
    std::unique_lock lock(mutex_);
    started_ = true;
    changed_.notify_all();
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            return;
        }
        const bool wasFull = tasks_.size() == MAX_WAITING;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        running_ = true;
        lock.unlock();
        if (wasFull) {
            changed_.notify_all();
        }
        task();
        lock.lock();
        running_ = false;
        if (tasks_.empty()) {
            changed_.notify_all();
        }
    }
}

}  // namespace quen
