// Pairs are combined and encoded; anything else that UTF-8 cannot carry is escaped.
// Names are escaped byte by byte, as a shell's $'...' reads them: octal for a byte, so
// that a byte that is not UTF-8 comes back as itself.
#include "quen/TextDisplay.h"

#include <algorithm>
#include <cstdio>

#include "platform/TextConversion.h"

namespace quen::tool {
namespace {

void appendEscape(std::string& out, char16_t unit) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(unit));
    out += text;
}

// The length of the well-formed UTF-8 sequence at `i` and its code point, or 0 for a
// byte that starts none (overlong forms, surrogates and values past U+10FFFF included).
std::size_t utf8SequenceAt(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto byte = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) {
        return 0;
    }
    codePoint = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = codePoint << 6 | (byte(i + k) & 0x3F);
    }
    constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < SMALLEST[length] || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

void appendByteEscape(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\r':
            out += "\\r";
            return;
        default:
            char text[8];
            std::snprintf(text, sizeof text, "\\%03o", static_cast<unsigned>(byte));
            out += text;
    }
}

// `text` with its control characters and stray bytes escaped; `quoting` escapes the
// backslash and the quote too, as inside $'...'. `escaped` tells whether any was.
std::string escapeBytes(std::string_view text, bool quoting, bool keepLineFeeds, bool& escaped) {
    std::string out;
    escaped = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            const bool control = (byte < 0x20 && !(keepLineFeeds && byte == '\n')) || byte == 0x7F;
            if (control) {
                appendByteEscape(out, byte);
                escaped = true;
            } else {
                if (quoting && (byte == '\\' || byte == '\'')) {
                    out += '\\';
                }
                out += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(text, i, codePoint);
        if (length == 0 || codePoint <= 0x9F) {
            // A stray byte, or a C1 control, which some terminals obey as ESC sequences.
            for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
                appendByteEscape(out, static_cast<unsigned char>(text[i + k]));
            }
            escaped = true;
            i += std::max<std::size_t>(length, 1);
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace

std::string shownName(std::string_view name) {
    bool escaped = false;
    escapeBytes(name, false, false, escaped);
    // A plain name that looks like a quoted one is quoted too, so the two never meet.
    if (!escaped && !name.starts_with("$'")) {
        return std::string(name);
    }
    return "$'" + escapeBytes(name, true, false, escaped) + "'";
}

std::string shownText(std::string_view text, bool keepLineFeeds) {
    bool escaped = false;
    return escapeBytes(text, false, keepLineFeeds, escaped);
}

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
