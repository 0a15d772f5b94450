// The process around the jobs: standard streams a caller closed come back open for
// the way each is used, a single worker runs every task at once on the caller's
// thread, so that a one-CPU batch is plainly sequential, and termination signals never
// land on a worker thread; the thread that takes them removes the temporary files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/AtomicFileWriter.h"
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

// Several workers take the tasks off the caller's thread; at the end the tasks not yet
// started are dropped and the running ones are waited for.
TEST(ProcessTest, WorkersRunTasksApartAndTheEndDropsOnlyThoseNotStarted) {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<int> queued{0};
    std::atomic<bool> release{false};
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::thread releaser;
    {
        WorkerPool pool(2);
        EXPECT_EQ(pool.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            pool.submit([&] {
                {
                    const std::lock_guard lock(mutex);
                    threads.insert(std::this_thread::get_id());
                }
                ++started;
                while (!release) {
                    std::this_thread::yield();
                }
                ++finished;
            });
        }
        while (started < 2) {
            std::this_thread::yield();
        }
        for (int i = 0; i < 5; ++i) {
            pool.submit([&] { ++queued; });
        }
        releaser = std::thread([&] {
            // Long enough for the pool's end to have dropped the queued tasks.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            release = true;
        });
    }
    releaser.join();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(queued, 0);
    EXPECT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

// The CPUs a batch's workers may use are those of the calling thread.
TEST(ProcessTest, TheCpuCountIsTheCallingThreadsAffinity) {
    cpu_set_t all{};
    ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
    std::thread([&all] {
        int first = 0;
        while (!CPU_ISSET(first, &all)) {
            ++first;
        }
        cpu_set_t one{};
        CPU_SET(first, &one);
        ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
        EXPECT_EQ(usableCpuCount(), 1u);
    }).join();
}

std::atomic<pid_t> handledOn{0};

// A pool's workers block termination signals even in a process that did not set them
// up: while the one other thread blocks one too, it waits, though the workers could
// take it.
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
            sigset_t hangUp;
            sigemptyset(&hangUp);
            sigaddset(&hangUp, SIGHUP);
            ::pthread_sigmask(SIG_BLOCK, &hangUp, nullptr);
            ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(handledOn, 0) << "handled by a worker";
            ::pthread_sigmask(SIG_UNBLOCK, &hangUp, nullptr);
        }
        for (int i = 0; i < 1000 && handledOn == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(handledOn, ::gettid());
        release = true;
    }
    ::sigaction(SIGHUP, &previous, nullptr);
}

// In a child, which may take signals freely: `body` runs after prepareProcess(); how
// the child ended.
int statusOfChild(const std::function<void()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = -1;
    return child > 0 && ::waitpid(child, &status, 0) == child ? status : -1;
}

// The one thread that takes termination signals removes every registered file, one a
// thread is making when the signal comes too (it waits for it to be made), then ends
// the process by the same signal. A signal the caller ignores stays ignored.
TEST(ProcessTest, ATerminationSignalRemovesEveryRegisteredFileThenEndsTheProcess) {
    const std::string made = ::testing::TempDir() + "/made.tmp";
    const std::string making = ::testing::TempDir() + "/making.tmp";
    const std::string closed = ::testing::TempDir() + "/window-closed";
    const std::string replaced = ::testing::TempDir() + "/replaced";
    const int status = statusOfChild([&] {
        ::signal(SIGTERM, SIG_DFL);
        prepareProcess();
        addTemporaryFileToRemove(made);
        ::close(::open(made.c_str(), O_WRONLY | O_CREAT, 0600));
        // A file put in place meanwhile ends its own registration and no other (the
        // parent sees whether it was put in place).
        const std::uint8_t content[] = {1};
        const ByteSpan pieces[] = {content};
        static_cast<void>(replaceFileAtomically(replaced, pieces));
        std::thread maker([&] {
            const TemporaryFileCreation creation;
            addTemporaryFileToRemove(making);
            ::kill(::getpid(), SIGTERM);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::close(::open(making.c_str(), O_WRONLY | O_CREAT, 0600));
            // Not registered: shows that the process lived until the file was made.
            ::close(::open(closed.c_str(), O_WRONLY | O_CREAT, 0600));
        });
        maker.join();
        std::this_thread::sleep_for(std::chrono::seconds(5));
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_NE(::access(made.c_str(), F_OK), 0);
    EXPECT_NE(::access(making.c_str(), F_OK), 0);
    EXPECT_EQ(::access(closed.c_str(), F_OK), 0) << "ended while a file was being made";
    EXPECT_EQ(::access(replaced.c_str(), F_OK), 0);
    ::unlink(closed.c_str());
    ::unlink(replaced.c_str());
    const int ignored = statusOfChild([] {
        ::signal(SIGHUP, SIG_IGN);
        prepareProcess();
        ::kill(::getpid(), SIGHUP);
        // Long enough for the pool's end to have dropped the queued tasks.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    EXPECT_TRUE(WIFEXITED(ignored) && WEXITSTATUS(ignored) == 0) << ignored;
}

}  // namespace
}  // namespace quen::test
