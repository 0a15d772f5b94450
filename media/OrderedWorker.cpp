// One condition variable serves both sides: the worker waits for tasks, the giver for
// room or for the queue to empty. Each side is woken for half the queue's weight, not
// for every task: a wakeup costs more than a small task, and nobody waits on a single
// one.
#include "media/OrderedWorker.h"

namespace quen {

OrderedWorker::OrderedWorker(bool threaded, std::size_t maxWeight) : maxWeight_(maxWeight) {
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

void OrderedWorker::submit(std::function<void()> task, std::size_t weight) {
    if (!thread_.joinable()) {
        task();
        return;
    }
    bool wake = false;
    {
        std::unique_lock lock(mutex_);
        if (weight_ >= maxWeight_) {
            // Back in once the worker has half the queue behind it.
            if (idle_) {
                changed_.notify_all();
            }
            changed_.wait(lock, [this] { return weight_ <= maxWeight_ / 2; });
        }
        tasks_.emplace_back(std::move(task), weight);
        weight_ += weight;
        wake = idle_ && weight_ >= maxWeight_ / 2;
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
                return stopping_ || weight_ >= maxWeight_ / 2 || (waiting_ > 0 && !tasks_.empty());
            });
            idle_ = false;
            if (tasks_.empty()) {
                return;
            }
        }
        auto [task, weight] = std::move(tasks_.front());
        tasks_.pop_front();
        const bool wasOverHalf = weight_ > maxWeight_ / 2;
        weight_ -= weight;
        const bool roomMade = wasOverHalf && weight_ <= maxWeight_ / 2;
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
