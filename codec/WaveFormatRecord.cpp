// Writing and reading format records byte by byte, so that the layout does not depend
// on the compiler's structure padding or the host's byte order.
#include "codec/WaveFormatRecord.h"

namespace quen {

std::vector<std::uint8_t> formatRecord(const WaveFormat& format,
                                       std::span<const std::uint8_t> extra) {
    std::vector<std::uint8_t> record;
    record.reserve(WAVE_FORMAT_BYTES + extra.size());
    appendLittleEndian16(record, format.tag);
    appendLittleEndian16(record, format.channels);
    appendLittleEndian32(record, format.sampleRate);
    appendLittleEndian32(record, format.byteRate);
    appendLittleEndian16(record, format.blockAlign);
    appendLittleEndian16(record, format.bitsPerSample);
    appendLittleEndian16(record, static_cast<std::uint16_t>(extra.size()));
    record.insert(record.end(), extra.begin(), extra.end());
    return record;
}

std::optional<WaveFormat> readFormatRecord(std::span<const std::uint8_t> record) {
    if (record.size() < WAVE_FORMAT_BYTES ||
        record.size() !=
            WAVE_FORMAT_BYTES + getLittleEndian16(record.subspan(FORMAT_FIELD_BYTES))) {
        return std::nullopt;
    }
    return readFormatFields(record);
}

}  // namespace quen
