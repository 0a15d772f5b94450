// errno -> failure category, one table for every file operation.
#include "platform/FailureCategory.h"

#include <sys/stat.h>

#include <cerrno>

namespace quen {
namespace {

bool parentDirectoryExists(const std::string& path) {
    const auto slash = path.find_last_of('/');
    std::string parent;
    if (slash == std::string::npos) {
        parent = ".";
    } else if (slash == 0) {
        parent = "/";
    } else {
        parent = path.substr(0, slash);
    }
    struct stat info {};
    return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

FailureCategory categoryOfErrno(int error, const std::string& path) {
    switch (error) {
        case ENOENT:
            return parentDirectoryExists(path) ? FailureCategory::FileNotFound
                                               : FailureCategory::BadPath;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return FailureCategory::BadPath;
        case EMFILE:
        case ENFILE:
            return FailureCategory::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return FailureCategory::AccessDenied;
        case EBADF:
            return FailureCategory::InvalidFile;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
            return FailureCategory::SharingViolation;
        case ENOSPC:
        case EDQUOT:
            return FailureCategory::DiskFull;
        case EIO:
            return FailureCategory::HardwareError;
        default:
            return FailureCategory::Generic;
    }
}

}  // namespace quen
