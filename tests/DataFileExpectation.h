// What a data file must hold, assembled independently of the program's own writer so
// that end-to-end tests can compare whole files byte for byte.
#pragma once

#include <string>

#include "tests/TestSupport.h"

namespace quen::test {

// The 208-byte header, filled field by field; texts longer than 32 units are cut to 32.
struct ExpectedHeader {
    std::u16string mailboxName{};
    std::u16string secondText{};  // recordingName or callingParty
    std::u16string displayString{};
    Bytes reserved{0, 0, 0, 0};
    Bytes internalFlag{0x00, 'Y', 0x00, 0x00};
    std::int32_t recordTime = 0;
    std::int32_t listenTime = 0;
};

// Preamble, header and the stream cut into packets of 128 frames of `frameBytes`.
Bytes expectedDataFile(std::uint8_t flashType, const ExpectedHeader& header, const Bytes& stream,
                       std::size_t frameBytes);

// The codes of the G.711 encoder, which its own test checks sample by sample.
Bytes g711Stream(const std::vector<std::int16_t>& samples, bool muLaw = false);

// The big-endian 32-bit value at `offset`.
std::int32_t bigEndian32At(const Bytes& bytes, std::size_t offset);

}  // namespace quen::test
