// UTF-16 code units to big-endian bytes.
#include "datafile/BigEndianText.h"

#include "platform/ByteOrder.h"

namespace quen {

std::vector<std::uint8_t> toUtf16BigEndian(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * text.size());
    for (const char16_t unit : text) {
        appendBigEndian16(bytes, unit);
    }
    return bytes;
}

}  // namespace quen
