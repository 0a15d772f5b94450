// Reading and checking the recording, compression and packetising, with the messages
// both jobs write.
#include "datafile/ConversionSteps.h"

#include <cstring>
#include <limits>

#include "app/ErrorLog.h"
#include "audio/CompressWaveData.h"
#include "audio/WaveData.h"
#include "datafile/FileFailureMessage.h"
#include "datafile/Packetiser.h"
#include "platform/TextConversion.h"
#include "platform/WholeFileReader.h"

namespace quen {
namespace {

constexpr std::size_t RIFF_HEADER_BYTES = 12;
// The RIFF size counts the form type, so anything smaller has no body at all.
constexpr std::uint32_t MIN_RIFF_SIZE = 4;
constexpr std::uint32_t MAX_RIFF_SIZE = std::numeric_limits<std::int32_t>::max();

bool hasIdAt(const std::vector<std::uint8_t>& bytes, std::size_t offset, const char* id) {
    return bytes.size() >= offset + 4 && std::memcmp(bytes.data() + offset, id, 4) == 0;
}

}  // namespace

std::span<const std::uint8_t> Recording::body() const {
    return std::span<const std::uint8_t>(fileBuffer).subspan(RIFF_HEADER_BYTES);
}

void logCreatingDataFile(const std::u16string& outFile) {
    ErrorLog::instance().write(u"Creating data file - \"" + outFile + u"\"");
}

std::optional<Recording> readRecording(const std::u16string& wavFile) {
    WholeFile file = readWholeFile(toNarrow(wavFile));
    if (file.failure) {
        logFileFailure(wavFile, *file.failure);
        return std::nullopt;
    }
    ErrorLog& log = ErrorLog::instance();
    if (!hasIdAt(file.bytes, 0, "RIFF") || !hasIdAt(file.bytes, 8, "WAVE")) {
        log.write("Invalid file format");
        return std::nullopt;
    }
    const std::uint32_t riffSize =
        getLittleEndian32(std::span<const std::uint8_t>(file.bytes).subspan<4, 4>());
    // A size of 2^31 or more was always refused; one below 4 leaves no body.
    if (riffSize > file.bytes.size() - 8 || riffSize > MAX_RIFF_SIZE || riffSize < MIN_RIFF_SIZE) {
        log.write("RIFF length is incorrect");
        return std::nullopt;
    }
    return Recording{std::move(file.bytes), riffSize - 4};
}

std::optional<std::vector<std::uint8_t>> encodePackets(const Recording& recording,
                                                       const std::u16string& wavFile,
                                                       std::int32_t cpType) {
    ErrorLog& log = ErrorLog::instance();
    const auto audio = compressWaveData(recording.body(), recording.bodyLength, cpType);
    // A codec failure fails the job too: a file with missing audio must not be
    // reported as converted.
    if (!audio || audio->codecFailed) {
        log.write(u"Compression of \"" + wavFile + u"\" file failed on bad format.");
        return std::nullopt;
    }
    auto packets = packetise(audio->stream(), cpType);
    if (!packets) {
        log.write("Failed to packetise the data");
    }
    return packets;
}

}  // namespace quen
