// Expected data files: header fields, preamble and packets written out plainly.
#include "tests/DataFileExpectation.h"

#include <algorithm>

#include "audio/G711Encoder.h"

namespace quen::test {
namespace {

void putText(Bytes& header, std::size_t offset, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size() && i < 32; ++i) {
        header[offset + 2 * i] = static_cast<std::uint8_t>(text[i] >> 8);
        header[offset + 2 * i + 1] = static_cast<std::uint8_t>(text[i]);
    }
}

void putBigEndian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

}  // namespace

Bytes ExpectedHeader::bytes() const {
    Bytes header(208, 0);
    putText(header, 0, mailboxName);
    putText(header, 64, secondText);
    putText(header, 128, displayString);
    std::copy(reserved.begin(), reserved.end(), header.begin() + 192);
    std::copy(internalFlag.begin(), internalFlag.end(), header.begin() + 196);
    putBigEndian(header, 200, static_cast<std::uint32_t>(recordTime));
    putBigEndian(header, 204, static_cast<std::uint32_t>(listenTime));
    return header;
}

Bytes expectedDataFile(std::uint8_t flashType, const ExpectedHeader& header, const Bytes& stream,
                       std::size_t frameBytes) {
    Bytes packets;
    const std::size_t payload = 128 * frameBytes;
    for (std::size_t pos = 0; pos < stream.size(); pos += payload) {
        const std::size_t size = std::min(payload, stream.size() - pos);
        const std::size_t frames = (size + frameBytes - 1) / frameBytes;
        packets.push_back(static_cast<std::uint8_t>(frames - 1));
        packets.insert(packets.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos),
                       stream.begin() + static_cast<std::ptrdiff_t>(pos + size));
    }
    Bytes file(6, 0);
    putBigEndian(file, 0, static_cast<std::uint32_t>(214 + packets.size()));
    file[4] = flashType;
    file[5] = 208;
    const Bytes headerBytes = header.bytes();
    file.insert(file.end(), headerBytes.begin(), headerBytes.end());
    file.insert(file.end(), packets.begin(), packets.end());
    return file;
}

Bytes aLawStream(const std::vector<std::int16_t>& samples) {
    Bytes stream;
    for (const std::int16_t sample : samples) {
        stream.push_back(linearToALaw(sample));
    }
    return stream;
}

Bytes muLawStream(const std::vector<std::int16_t>& samples) {
    Bytes stream;
    for (const std::int16_t sample : samples) {
        stream.push_back(linearToMuLaw(sample));
    }
    return stream;
}

std::int32_t bigEndian32At(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | bytes.at(offset + i);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace quen::test
