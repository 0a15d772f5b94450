// Operand conversions of the message job.
#include "app/MessageOperands.h"

#include <algorithm>
#include <limits>

#include "codec/Codec.h"
#include "platform/AsciiCase.h"

namespace quen {
namespace {

bool isCSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

std::int32_t parseTime(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate up to one past the 32-bit range; more digits cannot bring it back.
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = std::min(LIMIT, magnitude * 10 + (text[i] - u'0'));
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool isYes(std::u16string_view text) {
    return equalsIgnoringAsciiCase(text, u"Y") || equalsIgnoringAsciiCase(text, u"TRUE");
}

std::int32_t formatCodeFor(std::u16string_view format, bool newMessage) {
    Codec codec = Codec::ALaw;
    if (equalsIgnoringAsciiCase(format, u"G723")) {
        codec = Codec::G723;
    } else if (equalsIgnoringAsciiCase(format, u"ULAW") ||
               equalsIgnoringAsciiCase(format, u"U-LAW")) {
        codec = Codec::MuLaw;
    }
    return messageFormatCode(codec, newMessage);
}

}  // namespace quen
