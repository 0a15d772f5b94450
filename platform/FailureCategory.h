// The file layer's failure categories, printed in the "Can't open file" messages,
// and their derivation from errno. Every file open of the program uses this table.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

enum class FailureCategory : std::uint32_t {
    Generic = 1,
    FileNotFound = 2,
    BadPath = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidFile = 6,
    RemoveCurrentDir = 7,
    DirectoryFull = 8,
    BadSeek = 9,
    HardwareError = 10,
    SharingViolation = 11,
    LockViolation = 12,
    DiskFull = 13,
    EndOfFile = 14,
};

// `path` is the file the failing call named: ENOENT is "file not found" only when
// the directory that should hold it exists, and "bad path" otherwise.
FailureCategory categoryOfErrno(int error, const std::string& path);

}  // namespace quen
