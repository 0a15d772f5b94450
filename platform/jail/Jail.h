// The jail a process enters before it parses untrusted bytes: limits on its memory and
// CPU time, and a system call filter that leaves it the descriptors it already holds and
// nothing else. Lives in a library of its own so that only the programs that jail a
// child link libseccomp.
#pragma once

#include <cstdint>

#include "platform/Result.h"

namespace quen {

struct JailLimits {
    // Address space beyond what the process has mapped when it enters the jail (the
    // program and its libraries), so that the allowance is the same however large the
    // program is.
    std::uint64_t memoryBytes = 0;
    // CPU time: at the limit the kernel sends SIGXCPU, a second later SIGKILL.
    unsigned cpuSeconds = 0;
};

// Sets the limits (and no core file), then no_new_privs and a filter that allows what a
// decoder needs on descriptors it holds: read, write, seek, close, memory and time. A
// call to open a file, create a socket, start a program or a thread, signal another
// process or change the file system fails with EPERM. There is no way out of it: the
// filter and no_new_privs last until the process ends, and the hard limits cannot be
// raised without privilege.
Result<void> enterJail(const JailLimits& limits);

// The exit code of a jailed process that ran out of memory, so that its parent can say
// so instead of "failed".
inline constexpr int JAIL_EXIT_OUT_OF_MEMORY = 99;

}  // namespace quen
