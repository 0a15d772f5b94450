// The filter is an allow-list: whatever a decoder does not need fails, so a system
// call added to the kernel later is closed too. Calls are refused with EPERM rather
// than killing the process, so that a library that tries one fails the decode with an
// error instead of a crash. no_new_privs is what lets a process without privilege
// install a filter at all, and it also keeps a set-user-ID program from running with
// more rights than its parent had.
#include "platform/jail/Jail.h"

#include <fcntl.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace quen {
namespace {

struct FilterFreer {
    void operator()(scmp_filter_ctx filter) const { seccomp_release(filter); }
};

Failure jailFailure(int error, const char* what) {
    return Failure{FailureCategory::Generic,
                   std::string("cannot enter the jail: ") + what + ": " + std::strerror(error)};
}

// The address space mapped now: the program, its libraries, its stack.
std::uint64_t mappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "re");
    unsigned long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%lu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Maps the stack the decoder may use before the memory limit is set, so that running
// out of memory is an allocation that fails, which the child reports, never a stack that
// cannot grow, which would be a crash.
constexpr std::size_t STACK_MAPPED_BYTES = 512 * 1024;
[[gnu::noinline]] void mapStack() {
    char stack[STACK_MAPPED_BYTES];
    std::memset(stack, 0, sizeof stack);
    // The writes must happen though nothing reads them.
    asm volatile("" : : "r"(stack) : "memory");
}

// Lowers the limit to `soft` and `hard`; one the caller of the program set lower stays.
bool setLimit(int resource, rlim_t soft, rlim_t hard) {
    struct rlimit limit {};
    if (::getrlimit(resource, &limit) != 0) {
        return false;
    }
    limit.rlim_max = std::min(limit.rlim_max, hard);
    limit.rlim_cur = std::min(limit.rlim_max, soft);
    return ::setrlimit(resource, &limit) == 0;
}

// What a decoder does with descriptors it holds and with its own memory, and how it ends.
constexpr int ALLOWED_CALLS[] = {
    SCMP_SYS(read),
    SCMP_SYS(pread64),
    SCMP_SYS(readv),
    SCMP_SYS(write),
    SCMP_SYS(writev),
    SCMP_SYS(lseek),
    SCMP_SYS(close),
    SCMP_SYS(fstat),
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(mprotect),
    SCMP_SYS(madvise),
    SCMP_SYS(futex),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(sigaltstack),
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(getrusage),
    SCMP_SYS(getrandom),
    SCMP_SYS(sched_yield),
    SCMP_SYS(sched_getaffinity),
    SCMP_SYS(prlimit64),
    // What a thread started before the jail does for itself as it starts: a runtime's
    // helper thread may still be starting when the filter is set.
    SCMP_SYS(rseq),
    SCMP_SYS(set_robust_list),
    // The undefined-behaviour checker of test builds probes memory by writing it to a
    // pipe; a pipe reaches no file, socket or program.
    SCMP_SYS(pipe2),
};

Result<void> loadFilter() {
    std::unique_ptr<void, FilterFreer> filter(seccomp_init(SCMP_ACT_ERRNO(EPERM)));
    if (!filter) {
        return jailFailure(ENOMEM, "seccomp_init");
    }
    // On every thread of the process, not only the caller's.
    int error = seccomp_attr_set(filter.get(), SCMP_FLTATR_CTL_TSYNC, 1);
    if (error < 0) {
        return jailFailure(-error, "seccomp_attr_set");
    }
    for (const int call : ALLOWED_CALLS) {
        if ((error = seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, call, 0)) < 0) {
            return jailFailure(-error, "seccomp_rule_add");
        }
    }
    // fstat on a descriptor, which glibc makes with an empty path; not stat on a path.
    if ((error = seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                                  SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH))) < 0 ||
        // abort() signals the process itself, and only that.
        (error = seccomp_rule_add(
             filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
             scmp_arg_cmp{0, SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid()), 0})) < 0) {
        return jailFailure(-error, "seccomp_rule_add");
    }
    if ((error = seccomp_load(filter.get())) < 0) {
        return jailFailure(-error, "seccomp_load");
    }
    return {};
}

}  // namespace

Result<void> enterJail(const JailLimits& limits) {
    mapStack();
    const rlim_t memory = mappedBytes() + limits.memoryBytes;
    // A crash writes no core file: that would be a file written by what the input did.
    if (!setLimit(RLIMIT_CORE, 0, 0)) {
        return jailFailure(errno, "RLIMIT_CORE");
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return jailFailure(errno, "no_new_privs");
    }
    // The filter is built before the memory limit, so that building it never meets the
    // limit; the limits are set through calls the filter allows.
    if (const Result<void> filtered = loadFilter(); !filtered) {
        return filtered;
    }
    if (!setLimit(RLIMIT_AS, memory, memory)) {
        return jailFailure(errno, "RLIMIT_AS");
    }
    if (!setLimit(RLIMIT_CPU, limits.cpuSeconds, limits.cpuSeconds + 1)) {
        return jailFailure(errno, "RLIMIT_CPU");
    }
    return {};
}

}  // namespace quen
