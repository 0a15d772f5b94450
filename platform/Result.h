// What an operation below the jobs gives back: its value, or the failure that kept it
// from one, with the file layer's category and a text that says what went wrong. Every
// layer under the jobs answers in this one shape.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/FailureCategory.h"

namespace quen {

struct Failure {
    FailureCategory category = FailureCategory::Generic;
    // For people; names no file, which the caller knows and names itself.
    std::string text;
};

// The failure of a system call on `path` that set errno to `error`: its category, and
// the system's words for it after `what` ("cannot open: ").
inline Failure systemFailure(int error, const std::string& path, std::string_view what = {}) {
    return Failure{categoryOfErrno(error, path), std::string(what) + std::strerror(error)};
}

template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Failure& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, Failure> state_;
};

// Success carries nothing.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return *failure_; }

  private:
    std::optional<Failure> failure_;
};

}  // namespace quen
