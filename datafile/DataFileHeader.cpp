// Filling the header fields. Text is cut to its field: a longer text would overwrite
// the fields behind it.
#include "datafile/DataFileHeader.h"

#include <algorithm>

#include "datafile/BigEndianText.h"
#include "platform/ByteOrder.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

std::u16string_view fitToField(std::u16string_view text) {
    constexpr std::size_t limit = DataFileHeader::TEXT_FIELD_UNITS;
    if (text.size() <= limit) {
        return text;
    }
    return text.substr(0, isSurrogatePairAt(text, limit - 1) ? limit - 1 : limit);
}

}  // namespace

void DataFileHeader::setText(TextField field, std::u16string_view text) {
    const auto offset = static_cast<std::size_t>(field);
    const auto fieldEnd = bytes_.begin() + offset + 2 * TEXT_FIELD_UNITS;
    const std::vector<std::uint8_t> converted = toUtf16BigEndian(fitToField(text));
    std::fill(std::copy(converted.begin(), converted.end(), bytes_.begin() + offset), fieldEnd, 0);
}

void DataFileHeader::setWord(WordField field, const HeaderWord& word) {
    std::copy(word.begin(), word.end(), bytes_.begin() + static_cast<std::size_t>(field));
}

void DataFileHeader::setTime(TimeField field, std::int32_t seconds) {
    setBigEndian32(std::span(bytes_).subspan(static_cast<std::size_t>(field)),
                   static_cast<std::uint32_t>(seconds));
}

}  // namespace quen
