// What the process settles before any job runs, whatever its caller left behind:
// standard streams that exist, console and file-size failures that come back as
// errors instead of signals, and termination signals that take the data file's
// temporary file with them.
#pragma once

#include <signal.h>

#include <string>

namespace quen {

// Reopens a closed descriptor 0, 1 or 2 on /dev/null, so that no file of the program
// is ever opened in their place; ignores SIGPIPE (a caller that stops reading
// standard output does not stop the job) and SIGXFSZ (a file-size limit fails the
// write instead); lets SIGTERM, SIGINT and SIGHUP remove a data file's temporary
// file before the process ends by the same signal. A signal the caller set to be
// ignored stays ignored.
void prepareProcess();

// Temporary files a termination signal removes: several at a time, as a batch's workers
// write ahead. Returns the registration, or -1 when MAX_TEMPORARY_FILES are registered
// already or the path is too long to keep.
inline constexpr int MAX_TEMPORARY_FILES = 256;
int addTemporaryFileToRemove(const std::string& path);
void forgetTemporaryFile(int registration);

// Keeps termination signals away from the calling thread for good (worker threads),
// so that they always reach the thread that writes data files.
void blockTerminationSignals();

// While it lives, a termination signal waits: a file being named and registered, or
// renamed and forgotten, is never caught half-way.
class TerminationSignalsDeferred {
  public:
    TerminationSignalsDeferred();
    ~TerminationSignalsDeferred();
    TerminationSignalsDeferred(const TerminationSignalsDeferred&) = delete;
    TerminationSignalsDeferred& operator=(const TerminationSignalsDeferred&) = delete;

  private:
    sigset_t previous_;
};

// Held while a thread makes a file under a registered name (creates it or links it in):
// a termination signal that comes meanwhile on another thread waits for every such
// window to close before it removes the registered files, and none opens once it has
// come, so no file appears after the removal. Termination signals wait on the holding
// thread meanwhile, so the handler never waits for its own thread.
class TemporaryFileCreation {
  public:
    TemporaryFileCreation();
    ~TemporaryFileCreation();
    TemporaryFileCreation(const TemporaryFileCreation&) = delete;
    TemporaryFileCreation& operator=(const TemporaryFileCreation&) = delete;

    // False once a termination signal has come: make nothing, the process is ending.
    bool allowed() const { return allowed_; }

  private:
    TerminationSignalsDeferred deferred_;
    bool allowed_;
};

}  // namespace quen
