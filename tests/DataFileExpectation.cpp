// Expected data files: header fields, preamble and packets written out plainly.
#include "tests/DataFileExpectation.h"

#include <algorithm>

#include "audio/G711Encoder.h"

namespace quen::test {
namespace {

void putBigEndian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

}  // namespace

Bytes expectedDataFile(std::uint8_t flashType, const ExpectedHeader& header, const Bytes& stream,
                       std::size_t frameBytes) {
    // Preamble (total length, two zero bytes, flash type, header length), then the header.
    Bytes file(6 + 208, 0);
    file[4] = flashType;
    file[5] = 208;
    const std::u16string* texts[] = {&header.mailboxName, &header.secondText,
                                     &header.displayString};
    for (std::size_t field = 0; field < 3; ++field) {
        for (std::size_t i = 0; i < texts[field]->size() && i < 32; ++i) {
            file[6 + 64 * field + 2 * i] = static_cast<std::uint8_t>((*texts[field])[i] >> 8);
            file[7 + 64 * field + 2 * i] = static_cast<std::uint8_t>((*texts[field])[i]);
        }
    }
    std::copy(header.reserved.begin(), header.reserved.end(), file.begin() + 198);
    std::copy(header.internalFlag.begin(), header.internalFlag.end(), file.begin() + 202);
    putBigEndian(file, 206, static_cast<std::uint32_t>(header.recordTime));
    putBigEndian(file, 210, static_cast<std::uint32_t>(header.listenTime));
    for (std::size_t pos = 0; pos < stream.size(); pos += 128 * frameBytes) {
        const std::size_t size = std::min(128 * frameBytes, stream.size() - pos);
        file.push_back(static_cast<std::uint8_t>((size + frameBytes - 1) / frameBytes - 1));
        file.insert(file.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos),
                    stream.begin() + static_cast<std::ptrdiff_t>(pos + size));
    }
    putBigEndian(file, 0, static_cast<std::uint32_t>(file.size()));
    return file;
}

Bytes g711Stream(const std::vector<std::int16_t>& samples, bool muLaw) {
    Bytes stream(samples.size());
    std::transform(samples.begin(), samples.end(), stream.begin(),
                   muLaw ? linearToMuLaw : linearToALaw);
    return stream;
}

std::int32_t bigEndian32At(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(
        std::uint32_t{bytes.at(offset)} << 24 | std::uint32_t{bytes.at(offset + 1)} << 16 |
        std::uint32_t{bytes.at(offset + 2)} << 8 | bytes.at(offset + 3));
}

}  // namespace quen::test
