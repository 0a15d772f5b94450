// The preamble's bytes and the hand-over to the atomic file replacement.
#include "datafile/DataFileWriter.h"

#include <array>

#include "datafile/DataFileLayout.h"
#include "datafile/FileFailureMessage.h"
#include "platform/AtomicFileWriter.h"
#include "platform/TextConversion.h"

namespace quen {

bool writeDataFile(const std::u16string& outFile, std::uint8_t flashType,
                   const DataFileHeader& header, std::span<const std::uint8_t> packets) {
    const auto totalLength = static_cast<std::uint32_t>(PREAMBLE_BYTES + packets.size());
    const std::array<std::uint8_t, 4> lengthBytes{
        static_cast<std::uint8_t>(totalLength >> 24), static_cast<std::uint8_t>(totalLength >> 16),
        static_cast<std::uint8_t>(totalLength >> 8), static_cast<std::uint8_t>(totalLength)};
    const std::array<std::uint8_t, 1> flashTypeByte{flashType};
    const std::array<std::uint8_t, 1> headerLength{DataFileHeader::SIZE};
    const std::array<ByteSpan, 5> pieces{lengthBytes, flashTypeByte, headerLength, header.bytes(),
                                         packets};
    const auto failure = replaceFileAtomically(toNarrow(outFile), pieces);
    if (failure) {
        logFileFailure(outFile, *failure);
        return false;
    }
    return true;
}

}  // namespace quen
