// One phrase per category; the number follows so that it can be matched with the
// converter's "error = N" lines.
#include "quen/FailureText.h"

namespace quen::tool {

namespace {

std::string withCategory(const std::string& words, FailureCategory category) {
    return words + " (category " + std::to_string(static_cast<unsigned>(category)) + ")";
}

}  // namespace

std::string describeFailure(FailureCategory category) {
    const char* words = "failed";
    switch (category) {
        case FailureCategory::FileNotFound:
            words = "file not found";
            break;
        case FailureCategory::BadPath:
            words = "bad path (a directory is missing)";
            break;
        case FailureCategory::TooManyOpenFiles:
            words = "too many open files";
            break;
        case FailureCategory::AccessDenied:
            words = "access denied";
            break;
        case FailureCategory::SharingViolation:
            words = "in use by another program";
            break;
        case FailureCategory::DiskFull:
            words = "disk full";
            break;
        case FailureCategory::HardwareError:
            words = "input/output error";
            break;
        case FailureCategory::EndOfFile:
            words = "the read stopped short";
            break;
        default:
            break;
    }
    return withCategory(words, category);
}

std::string describeFailure(const Failure& failure) {
    if (failure.category != FailureCategory::Generic || failure.text.empty()) {
        return describeFailure(failure.category);
    }
    return withCategory(failure.text, failure.category);
}

bool isAccessFailure(const Failure& failure) {
    switch (failure.reason) {
        case FailureReason::CannotOpen:
        case FailureReason::CannotRead:
        case FailureReason::NotRegular:
        case FailureReason::TooLarge:
        case FailureReason::OutOfMemory:
            return true;
        case FailureReason::Other:
        case FailureReason::Malformed:
            break;
    }
    return false;
}

}  // namespace quen::tool
