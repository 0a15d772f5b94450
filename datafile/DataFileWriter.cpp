// The preamble's bytes and the hand-over to the atomic file replacement, which writes
// the packets straight from the compressed stream.
#include "datafile/DataFileWriter.h"

#include <array>
#include <vector>

#include "datafile/DataFileLayout.h"
#include "datafile/FileFailureMessage.h"
#include "platform/AtomicFileWriter.h"
#include "platform/TextConversion.h"

namespace quen {

bool writeDataFile(const std::u16string& outFile, std::uint8_t flashType,
                   const DataFileHeader& header, const PacketStream& packets, LogSink& log) {
    const auto totalLength = static_cast<std::uint32_t>(PREAMBLE_BYTES + packets.size());
    const std::array<std::uint8_t, 4> lengthBytes{
        static_cast<std::uint8_t>(totalLength >> 24), static_cast<std::uint8_t>(totalLength >> 16),
        static_cast<std::uint8_t>(totalLength >> 8), static_cast<std::uint8_t>(totalLength)};
    const std::array<std::uint8_t, 1> flashTypeByte{flashType};
    const std::array<std::uint8_t, 1> headerLength{DataFileHeader::SIZE};
    std::vector<ByteSpan> pieces{lengthBytes, flashTypeByte, headerLength, header.bytes()};
    pieces.insert(pieces.end(), packets.pieces.begin(), packets.pieces.end());
    const auto failure = replaceFileAtomically(toNarrow(outFile), pieces);
    if (failure) {
        logFileFailure(outFile, *failure, log);
        return false;
    }
    return true;
}

}  // namespace quen
