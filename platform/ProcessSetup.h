// What the process settles before any job runs, whatever its caller left behind:
// standard streams that exist, console and file-size failures that come back as
// errors instead of signals, and termination signals, taken by one thread, that take
// the data files' temporary files with them.
#pragma once

#include <string>

namespace quen {

// Reopens a closed descriptor 0, 1 or 2 on /dev/null, so that no file of the program
// is ever opened in their place; ignores SIGPIPE (a caller that stops reading
// standard output does not stop the job) and SIGXFSZ (a file-size limit fails the
// write instead). SIGTERM, SIGINT and SIGHUP are blocked in every thread and taken by
// one thread of their own, which removes the registered temporary files and then ends
// the process by the same signal. A signal the caller set to be ignored stays ignored.
// Call it before any other thread starts, so that every thread inherits the block.
void prepareProcess();

// Temporary files a termination signal removes: several at a time, as a batch's workers
// write ahead. Returns the registration, or -1 when MAX_TEMPORARY_FILES are registered
// already. Registration and removal take the same lock.
inline constexpr int MAX_TEMPORARY_FILES = 256;
int addTemporaryFileToRemove(const std::string& path);
void forgetTemporaryFile(int registration);

// Keeps termination signals away from the calling thread for good. Threads started
// after prepareProcess() have them blocked already; this is for a thread that may have
// been started without it.
void blockTerminationSignals();

// Held while a thread makes a file under a registered name (creates it, links it in or
// renames it away): it holds the lock the removal takes, so a termination signal that
// comes meanwhile waits for the file to be made and then removes it, and once the
// removal has begun no thread makes a file again. The same thread may register and
// forget names while it holds one.
class TemporaryFileCreation {
  public:
    TemporaryFileCreation();
    ~TemporaryFileCreation();
    TemporaryFileCreation(const TemporaryFileCreation&) = delete;
    TemporaryFileCreation& operator=(const TemporaryFileCreation&) = delete;

    // False once a termination signal has come: make nothing, the process is ending.
    bool allowed() const { return allowed_; }

  private:
    bool allowed_;
};

}  // namespace quen
