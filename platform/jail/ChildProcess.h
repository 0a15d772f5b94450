// A program started with its standard output on a pipe the parent reads, its standard
// input and error on /dev/null and no other descriptor of the parent; ended and reaped
// by its owner. posix_spawn starts it, so a parent with threads is as safe as one
// without.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/Result.h"
#include "platform/jail/Jail.h"

namespace quen {

// How a child ended, from wait4.
struct ChildEnd {
    bool exited = false;  // else killed by `signal`
    int exitCode = 0;
    int signal = 0;
    double cpuSeconds = 0.0;  // user and system time
};

class ChildProcess {
  public:
    // Runs `program` with `arguments` (arguments[0] included).
    static Result<ChildProcess> start(const std::string& program,
                                      const std::vector<std::string>& arguments);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running is killed and reaped: none is left behind.
    ~ChildProcess();

    // The read end of the child's standard output.
    int output() const { return output_.get(); }

    // Closes the pipe, so that a child still writing ends by SIGPIPE, and reaps it.
    // Once reaped, the same end again.
    ChildEnd wait();
    // Kills the child and reaps it; once reaped, signals nothing.
    ChildEnd kill();

  private:
    ChildProcess(pid_t pid, FileHandle output) : pid_(pid), output_(std::move(output)) {}

    pid_t pid_ = -1;  // -1 once reaped
    FileHandle output_;
    ChildEnd end_;
};

// Words for a child that did not exit with 0, in the limits it was given: "needed more
// than 96 MiB", "used more than 20 s of CPU", "crashed (signal 11)", "ended with exit
// code 3".
std::string describeChildEnd(const ChildEnd& end, const JailLimits& limits);

}  // namespace quen
