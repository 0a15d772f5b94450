// Descriptors, signal dispositions and the thread that takes termination signals.
#include "platform/ProcessSetup.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <mutex>

namespace quen {
namespace {

// The temporary files to remove and the lock over them. Never destroyed: a signal may
// come while the process runs its exit handlers, and the signal thread then still
// reads them.
struct Registry {
    std::recursive_mutex lock;
    std::array<std::string, MAX_TEMPORARY_FILES> paths;
    std::array<bool, MAX_TEMPORARY_FILES> taken{};
    bool terminating = false;
};

Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&signals, signalNumber);
    }
    return signals;
}

// Waits for the first termination signal, then takes the lock for good: no name is
// registered, no file made under one and none renamed away from here on. Once the
// registered files are gone, the process ends by the same signal, its default action,
// as its caller expects.
void* takeTerminationSignals(void* argument) {
    const sigset_t signals = *static_cast<const sigset_t*>(argument);
    int signalNumber = 0;
    while (::sigwait(&signals, &signalNumber) != 0) {
    }
    Registry& files = registry();
    files.lock.lock();
    files.terminating = true;
    for (int slot = 0; slot < MAX_TEMPORARY_FILES; ++slot) {
        if (files.taken[slot]) {
            ::unlink(files.paths[slot].c_str());
        }
    }
    ::signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signalNumber);
    return nullptr;
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

// The termination signals the caller left to their default action or to a handler;
// the ones it ignores stay ignored.
sigset_t signalsToTake() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&signals, signalNumber);
        }
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
    static const sigset_t taken = signalsToTake();
    if (sigisemptyset(&taken)) {
        return;
    }
    // Blocked before the thread starts, so that it and every thread after it inherit
    // the block and only sigwait takes them.
    sigset_t previous;
    ::pthread_sigmask(SIG_BLOCK, &taken, &previous);
    pthread_attr_t attributes;
    pthread_t thread;
    const bool started = ::pthread_attr_init(&attributes) == 0 &&
                         ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                         ::pthread_create(&thread, &attributes, takeTerminationSignals,
                                          const_cast<sigset_t*>(&taken)) == 0;
    ::pthread_attr_destroy(&attributes);
    if (!started) {
        // Without the thread a blocked signal would never end the process: better
        // ended without the removal than not at all.
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
}

int addTemporaryFileToRemove(const std::string& path) {
    Registry& files = registry();
    const std::lock_guard lock(files.lock);
    for (int slot = 0; slot < MAX_TEMPORARY_FILES; ++slot) {
        if (!files.taken[slot]) {
            files.paths[slot] = path;
            files.taken[slot] = true;
            return slot;
        }
    }
    return -1;
}

void forgetTemporaryFile(int registration) {
    if (registration >= 0 && registration < MAX_TEMPORARY_FILES) {
        Registry& files = registry();
        const std::lock_guard lock(files.lock);
        files.taken[registration] = false;
    }
}

void blockTerminationSignals() {
    const sigset_t signals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

TemporaryFileCreation::TemporaryFileCreation() {
    Registry& files = registry();
    files.lock.lock();
    allowed_ = !files.terminating;
}

TemporaryFileCreation::~TemporaryFileCreation() {
    registry().lock.unlock();
}

}  // namespace quen
