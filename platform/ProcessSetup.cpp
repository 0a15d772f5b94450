// Descriptors, signal dispositions and the termination handler.
#include "platform/ProcessSetup.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>

namespace quen {
namespace {

// The paths live in static storage, so a handler running on another thread never reads
// freed memory; a slot's pointer says whether its path is in force.
char temporaryPaths[MAX_TEMPORARY_FILES][PATH_MAX];
std::atomic<const char*> temporaryFiles[MAX_TEMPORARY_FILES];
std::atomic<bool> slotTaken[MAX_TEMPORARY_FILES];

// Threads now making a registered file, and whether a termination signal has come.
std::atomic<int> creationsInProgress{0};
std::atomic<bool> terminating{false};

extern "C" void removeTemporaryFileAndDie(int signalNumber) {
    terminating.store(true);
    // A file another thread is creating under a registered name would otherwise appear
    // after the removal below; the creation is a few system calls.
    while (creationsInProgress.load() != 0) {
    }
    for (auto& file : temporaryFiles) {
        if (const char* path = file.load()) {
            ::unlink(path);
        }
    }
    // The handler was reset to the default on entry and the signal is not blocked:
    // this ends the process by the same signal, as its caller expects.
    ::raise(signalNumber);
}

void keepStandardDescriptorOpen(int fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        // Descriptors are handed out lowest first: `opened` is `fd` unless a lower one
        // was closed too, which the loop below has reopened already.
        if (opened >= 0 && opened != fd) {
            ::close(opened);
        }
    }
}

void ignore(int signalNumber) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    ::sigaction(signalNumber, &action, nullptr);
}

void cleanUpOn(int signalNumber) {
    struct sigaction current {};
    if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = removeTemporaryFileAndDie;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    ::sigaction(signalNumber, &action, nullptr);
}

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&signals, signalNumber);
    }
    return signals;
}

}  // namespace

void prepareProcess() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        keepStandardDescriptorOpen(fd);
    }
    ignore(SIGPIPE);
    ignore(SIGXFSZ);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        cleanUpOn(signalNumber);
    }
}

int addTemporaryFileToRemove(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (int slot = 0; slot < MAX_TEMPORARY_FILES; ++slot) {
        bool free = false;
        if (slotTaken[slot].compare_exchange_strong(free, true)) {
            path.copy(temporaryPaths[slot], path.size());
            temporaryPaths[slot][path.size()] = '\0';
            temporaryFiles[slot].store(temporaryPaths[slot]);
            return slot;
        }
    }
    return -1;
}

void forgetTemporaryFile(int registration) {
    if (registration >= 0) {
        temporaryFiles[registration].store(nullptr);
        slotTaken[registration].store(false);
    }
}

void blockTerminationSignals() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

TerminationSignalsDeferred::TerminationSignalsDeferred() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, &previous_);
}

TerminationSignalsDeferred::~TerminationSignalsDeferred() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

TemporaryFileCreation::TemporaryFileCreation() {
    creationsInProgress.fetch_add(1);
    allowed_ = !terminating.load();
    if (!allowed_) {
        creationsInProgress.fetch_sub(1);
    }
}

TemporaryFileCreation::~TemporaryFileCreation() {
    if (allowed_) {
        creationsInProgress.fetch_sub(1);
    }
}

}  // namespace quen
