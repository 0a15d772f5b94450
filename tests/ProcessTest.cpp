// The process around the jobs: standard streams a caller closed come back open for
// the way each is used, a single worker runs every task at once on the caller's
// thread, so that a one-CPU batch is plainly sequential, and termination signals never
// land on a worker thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/ProcessSetup.h"
#include "platform/WorkerPool.h"

namespace quen::test {
namespace {

TEST(ProcessTest, ClosedStandardStreamsAreReopenedForReadingAndWriting) {
    // In a child, which may change its standard streams and signals freely.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(STDIN_FILENO);
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        prepareProcess();
        const bool reopened = (::fcntl(STDIN_FILENO, F_GETFL) & O_ACCMODE) == O_RDONLY &&
                              (::fcntl(STDOUT_FILENO, F_GETFL) & O_ACCMODE) == O_WRONLY &&
                              (::fcntl(STDERR_FILENO, F_GETFL) & O_ACCMODE) == O_WRONLY;
        ::_exit(reopened ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ProcessTest, OneWorkerRunsEachTaskAtOnceOnTheCallersThread) {
    for (const unsigned workers : {0u, 1u}) {
        WorkerPool pool(workers);
        EXPECT_EQ(pool.size(), 1u);
        std::thread::id ranOn;
        pool.submit([&ranOn] { ranOn = std::this_thread::get_id(); });
        EXPECT_EQ(ranOn, std::this_thread::get_id()) << workers << " workers";
    }
}

std::atomic<pid_t> handledOn{0};

// A termination signal sent to the process while workers wait for work is handled by
// the thread that writes data files: while that thread defers it, it waits, even though
// the workers could take it.
TEST(ProcessTest, TerminationSignalsNeverReachAWorker) {
    handledOn = 0;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = [](int) { handledOn = ::gettid(); };
    ASSERT_EQ(::sigaction(SIGHUP, &action, &previous), 0);
    {
        WorkerPool pool(2);
        std::atomic<int> started{0};
        std::atomic<bool> release{false};
        for (int i = 0; i < 2; ++i) {
            pool.submit([&] {
                ++started;
                while (!release) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
        }
        while (started < 2) {
            std::this_thread::yield();
        }
        {
            const TerminationSignalsDeferred deferred;
            ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(handledOn, 0) << "handled by a worker";
        }
        for (int i = 0; i < 1000 && handledOn == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(handledOn, ::gettid());
        release = true;
    }
    ::sigaction(SIGHUP, &previous, nullptr);
}

}  // namespace
}  // namespace quen::test
