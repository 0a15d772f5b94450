// UTF-16 code units to big-endian bytes.
#include "datafile/BigEndianText.h"

namespace quen {

std::vector<std::uint8_t> toUtf16BigEndian(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * text.size());
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    return bytes;
}

}  // namespace quen
