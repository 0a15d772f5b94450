// The preamble's bytes around the packets the packetiser writes through.
#include "datafile/DataFileWriter.h"

#include <array>

#include "datafile/DataFileLayout.h"
#include "platform/FileFailureMessage.h"
#include "platform/TextConversion.h"

namespace quen {

DataFileOutput::DataFileOutput(const std::u16string& outFile, std::int32_t cpType)
    : outFile_(outFile), file_(std::make_unique<FileReplacement>(toNarrow(outFile))) {
    packets_ = std::make_unique<Packetiser>(
        cpType, [file = file_.get()](std::span<const ByteSpan> pieces) { file->append(pieces); });
    // The preamble's place, filled in by finish().
    const std::array<std::uint8_t, PREAMBLE_BYTES> room{};
    const std::array<ByteSpan, 1> pieces{ByteSpan(room)};
    file_->append(pieces);
}

void DataFileOutput::add(ByteSpan compressed) {
    packets_->add(compressed);
}

void DataFileOutput::finish(std::uint8_t flashType, const DataFileHeader& header) {
    packets_->finish();
    const auto totalLength = static_cast<std::uint32_t>(PREAMBLE_BYTES + packets_->size());
    std::array<std::uint8_t, PREAMBLE_BYTES> preamble{static_cast<std::uint8_t>(totalLength >> 24),
                                                      static_cast<std::uint8_t>(totalLength >> 16),
                                                      static_cast<std::uint8_t>(totalLength >> 8),
                                                      static_cast<std::uint8_t>(totalLength),
                                                      flashType,
                                                      DataFileHeader::SIZE};
    std::copy(header.bytes().begin(), header.bytes().end(), preamble.begin() + HEADER_OFFSET);
    file_->overwrite(TOTAL_LENGTH_OFFSET, preamble);
}

bool DataFileOutput::commit(LogSink& log) {
    const auto failure = file_->commit();
    if (failure) {
        logFileFailure(outFile_, *failure, log);
        return false;
    }
    return true;
}

}  // namespace quen
