// The process around the jobs: standard streams a caller closed come back open for
// the way each is used, and a single worker runs every task at once on the caller's
// thread, so that a one-CPU batch is plainly sequential.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
}  // namespace quen::test
