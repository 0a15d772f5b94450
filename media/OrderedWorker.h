// A second thread that runs tasks one at a time in the order given, so that a decoder
// reads the next packet while the last one's samples are resampled and sent. Each task
// has a weight (the bytes it holds); whoever gives one waits while the queue weighs
// `maxWeight`, until half of it is done, so what is held stays bounded. Without a thread
// each task runs at once on the caller's thread, which a single CPU or a test may want.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace quen {

class OrderedWorker {
  public:
    OrderedWorker(bool threaded, std::size_t maxWeight);
    // Runs what was given, then ends the thread.
    ~OrderedWorker();
    OrderedWorker(const OrderedWorker&) = delete;
    OrderedWorker& operator=(const OrderedWorker&) = delete;

    // The task must not throw.
    void submit(std::function<void()> task, std::size_t weight);
    // Returns once every task given so far has run; what they wrote is then visible here.
    void wait();

  private:
    void work();

    std::size_t maxWeight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::function<void()>, std::size_t>> tasks_;
    std::size_t weight_ = 0;  // of the tasks queued
    bool started_ = false;
    bool running_ = false;
    bool idle_ = false;        // the worker sleeps until half the weight is queued
    std::size_t waiting_ = 0;  // callers of wait(), for whom it runs what there is
    bool stopping_ = false;
    std::jthread thread_;
};

}  // namespace quen
