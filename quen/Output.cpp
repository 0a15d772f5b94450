// Rounding happens here once, so text and JSON show the same figures.
#include "quen/Output.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace quen::tool {

void printJson(const nlohmann::json& document) {
    std::cout << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

nlohmann::json dbfsValue(double dbfs) {
    if (!std::isfinite(dbfs)) {
        return nullptr;
    }
    return std::round(dbfs * 10) / 10;
}

std::string dbfsText(double dbfs) {
    if (!std::isfinite(dbfs)) {
        return "-inf dBFS";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", dbfs);
    return text;
}

}  // namespace quen::tool
