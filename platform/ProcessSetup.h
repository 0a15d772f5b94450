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

}  // namespace quen
