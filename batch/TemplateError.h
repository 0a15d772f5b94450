// The AA template's one kind of failure that ends a batch run from deep inside the
// walk: a required node that is missing, or a parser operation that failed. It may
// carry a description for the error log; a missing node carries none.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace quen {

class TemplateError : public std::exception {
  public:
    TemplateError() = default;
    explicit TemplateError(std::string description) : description_(std::move(description)) {}

    // The description as 8-bit text; empty when there is none.
    std::string description() const { return description_.value_or(std::string()); }
    const char* what() const noexcept override { return "AA template error"; }

  private:
    std::optional<std::string> description_;
};

}  // namespace quen
