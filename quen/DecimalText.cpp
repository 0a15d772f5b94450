#include "quen/DecimalText.h"

#include <cstdio>

namespace quen::tool {

std::string decimalText(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace quen::tool
