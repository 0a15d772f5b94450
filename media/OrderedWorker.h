// A second thread that runs tasks one at a time in the order given, so that a decoder
// reads the next packet while the last one's samples are resampled and sent. Bounded:
// whoever gives a task waits while MAX_WAITING are queued, until half are done. Without a thread
// each task runs at once on the caller's thread, which a single CPU or a test may want.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quen {

class OrderedWorker {
  public:
    static constexpr std::size_t MAX_WAITING = 16;

    explicit OrderedWorker(bool threaded);
    // Runs what was given, then ends the thread.
    ~OrderedWorker();
    OrderedWorker(const OrderedWorker&) = delete;
    OrderedWorker& operator=(const OrderedWorker&) = delete;

    // The task must not throw.
    void submit(std::function<void()> task);
    // Returns once every task given so far has run; what they wrote is then visible here.
    void wait();

  private:
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    bool started_ = false;
    bool running_ = false;
    bool idle_ = false;        // the worker sleeps until half the queue is filled
    std::size_t waiting_ = 0;  // callers of wait(), for whom it runs what there is
    bool stopping_ = false;
    std::jthread thread_;
};

}  // namespace quen
