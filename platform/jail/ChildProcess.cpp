// Every descriptor above standard error is closed in the child (closefrom), not only
// those without close-on-exec: a file another thread of the parent opened without the
// flag never reaches it. The pipe is made close-on-exec, so a child another thread
// starts meanwhile never holds its write end, which would keep the reader from seeing
// the end.
#include "platform/jail/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace quen {
namespace {

constexpr int MEBIBYTE = 1 << 20;

Failure spawnFailure(int error, const std::string& what) {
    return Failure{FailureCategory::Generic, what + ": " + std::strerror(error)};
}

double seconds(const struct timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Owner of a set of spawn actions.
class SpawnActions {
  public:
    SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

// Owner of spawn attributes that give the child an empty signal mask: the calling thread
// may block termination signals (one thread of the program takes them), and a child that
// inherited that mask could not be ended by them.
class SpawnAttributes {
  public:
    SpawnAttributes() {
        ::posix_spawnattr_init(&attributes_);
        sigset_t none;
        ::sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attributes_; }

  private:
    posix_spawnattr_t attributes_;
};

}  // namespace

Result<ChildProcess> ChildProcess::start(const std::string& program,
                                         const std::vector<std::string>& arguments) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return spawnFailure(errno, "cannot make a pipe");
    }
    FileHandle reader(ends[0]);
    FileHandle writer(ends[1]);
    SpawnActions actions;
    int error = ::posix_spawn_file_actions_adddup2(actions.get(), writer.get(), STDOUT_FILENO);
    if (error == 0) {
        error = ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null",
                                                   O_RDONLY, 0);
    }
    if (error == 0) {
        error = ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null",
                                                   O_WRONLY, 0);
    }
    if (error == 0) {
        error = ::posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
    }
    if (error != 0) {
        return spawnFailure(error, "cannot start " + program);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const SpawnAttributes attributes;
    pid_t pid = -1;
    if ((error = ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv.data(),
                               environ)) != 0) {
        return spawnFailure(error, "cannot start " + program);
    }
    return ChildProcess(pid, std::move(reader));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), output_(std::move(other.output_)) {
    other.pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill();
    }
}

ChildEnd ChildProcess::wait() {
    output_.close();
    // A pid of -1 would reap, or kill, any child or every process.
    if (pid_ <= 0) {
        return end_;
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid_, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            pid_ = -1;
            end_.signal = SIGKILL;
            return end_;
        }
    }
    pid_ = -1;
    end_.exited = WIFEXITED(status);
    end_.exitCode = end_.exited ? WEXITSTATUS(status) : 0;
    end_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end_.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return end_;
}

ChildEnd ChildProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
    }
    return wait();
}

std::string describeChildEnd(const ChildEnd& end, const JailLimits& limits) {
    // The kernel's SIGXCPU at the soft limit, or its SIGKILL a second on.
    if (end.signal == SIGXCPU || (end.signal == SIGKILL && end.cpuSeconds >= limits.cpuSeconds)) {
        return "used more than " + std::to_string(limits.cpuSeconds) + " s of CPU";
    }
    if (end.exited && end.exitCode == JAIL_EXIT_OUT_OF_MEMORY) {
        return "needed more than " + std::to_string(limits.memoryBytes / MEBIBYTE) + " MiB";
    }
    if (end.signal != 0) {
        return "crashed (signal " + std::to_string(end.signal) + ")";
    }
    return "ended with exit code " + std::to_string(end.exitCode);
}

}  // namespace quen
