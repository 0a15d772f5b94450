// Pairs are combined and encoded; anything else that UTF-8 cannot carry is escaped.
#include "quen/TextDisplay.h"

#include <cstdio>

#include "platform/TextConversion.h"

namespace quen::tool {
namespace {

void appendEscape(std::string& out, char16_t unit) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(unit));
    out += text;
}

}  // namespace

std::string displayText(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (isSurrogatePairAt(text, i)) {
            appendUtf8(out, combineSurrogates(unit, text[i + 1]));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit) || unit < 0x20 || unit == 0x7F) {
            appendEscape(out, unit);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool hasLoneSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isSurrogatePairAt(text, i)) {
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            return true;
        }
    }
    return false;
}

}  // namespace quen::tool
