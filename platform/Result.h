// What an operation below the jobs gives back: its value, or the reason that kept it
// from one. Each layer names its reasons with a type of its own (a recording refused
// for its format, a template that could not be read); the file layer's reason is
// Failure. No layer below the jobs words a reason for the error log: the jobs do that
// in one place.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/FailureCategory.h"

namespace quen {

// What kind of step failed, for callers that word the failure themselves.
enum class FailureReason : std::uint8_t {
    Other,        // see the category
    CannotOpen,   // opening, locking or looking at the file failed
    CannotRead,   // a read failed or stopped short
    NotRegular,   // a directory, pipe, device or socket where a regular file belongs
    TooLarge,     // beyond the bound the caller set
    OutOfMemory,  // the memory to hold the file could not be had
    Malformed,    // the content is not what it should be
};

struct Failure {
    FailureCategory category = FailureCategory::Generic;
    // The system's or a library's words, for people: what went wrong (strerror), what a
    // file is instead of a regular one ("a pipe"), where a document is malformed. Names
    // no file, which the caller knows and names itself.
    std::string text;
    FailureReason reason = FailureReason::Other;
};

// The failure of a system call on `path` that set errno to `error`: its category, and
// the system's words for it after `what` ("cannot open: ").
inline Failure systemFailure(int error, const std::string& path, std::string_view what = {},
                             FailureReason reason = FailureReason::Other) {
    return Failure{categoryOfErrno(error, path), std::string(what) + std::strerror(error), reason};
}

template <typename T, typename Reason = Failure>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Reason reason) : state_(std::in_place_index<1>, std::move(reason)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Reason& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, Reason> state_;
};

// Success carries nothing.
template <typename Reason>
class [[nodiscard]] Result<void, Reason> {
  public:
    Result() = default;
    Result(Reason reason) : failure_(std::move(reason)) {}

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const Reason& failure() const { return *failure_; }

  private:
    std::optional<Reason> failure_;
};

}  // namespace quen
