// Rounding happens here once, so text and JSON show the same figures.
#include "quen/Output.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace quen::tool {
namespace {

// -0.004 rounds to -0.0, which reads as a different number to a person and to some
// JSON readers; it is zero.
double rounded(double decibels) {
    const double value = std::round(decibels * 100) / 100;
    return value == 0.0 ? 0.0 : value;
}

}  // namespace

std::string jsonText(const nlohmann::json& document) {
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
}

void printJson(const nlohmann::json& document) {
    std::cout << jsonText(document);
}

std::optional<double> roundedDecibels(double decibels) {
    if (!std::isfinite(decibels)) {
        return std::nullopt;
    }
    return rounded(decibels);
}

nlohmann::json decibelValue(double decibels) {
    const auto value = roundedDecibels(decibels);
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

std::string decibelText(double decibels, const std::string& unit) {
    if (!std::isfinite(decibels)) {
        return (decibels > 0 ? "inf " : "-inf ") + unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.2f ", rounded(decibels));
    return text + unit;
}

}  // namespace quen::tool
