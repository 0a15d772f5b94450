// Opening and checking the recording, locating and reading its samples, compression
// and packetising, with the messages both jobs write.
#include "jobs/ConversionSteps.h"

#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "audio/WaveData.h"
#include "datafile/FileFailureMessage.h"
#include "platform/TextConversion.h"

namespace quen {
namespace {

constexpr std::size_t RIFF_HEADER_BYTES = 12;
// The RIFF size counts the form type, so anything smaller has no body at all.
constexpr std::uint32_t MIN_RIFF_SIZE = 4;
constexpr std::uint32_t MAX_RIFF_SIZE = std::numeric_limits<std::int32_t>::max();

bool hasIdAt(std::span<const std::uint8_t> bytes, std::size_t offset, const char* id) {
    return bytes.size() >= offset + 4 && std::memcmp(bytes.data() + offset, id, 4) == 0;
}

// The data chunk's bytes, or nothing after the refusal or the read failure was logged.
std::optional<std::vector<std::uint8_t>> readSamples(Recording& recording,
                                                     const std::u16string& wavFile, LogSink& log) {
    InputFile& file = recording.file;
    const auto readBody = [&file](std::uint64_t offset, std::span<std::uint8_t> out) {
        return file.readAt(RIFF_HEADER_BYTES + offset, out);
    };
    const auto location =
        locateWaveData(readBody, file.size() - RIFF_HEADER_BYTES, recording.bodyLength, log);
    std::vector<std::uint8_t> samples;
    if (location) {
        try {
            samples.resize(location->length);
        } catch (const std::bad_alloc&) {
            // The samples cannot be had, as if the file could not be read.
            logFileFailure(wavFile, FailureCategory::Generic, log);
            return std::nullopt;
        }
        readBody(location->offset, samples);
    }
    if (file.failure()) {
        logFileFailure(wavFile, *file.failure(), log);
        return std::nullopt;
    }
    if (!location) {
        log.write(u"Compression of \"" + wavFile + u"\" file failed on bad format.");
        return std::nullopt;
    }
    return samples;
}

}  // namespace

void logCreatingDataFile(const std::u16string& outFile, LogSink& log) {
    log.write(u"Creating data file - \"" + outFile + u"\"");
}

std::optional<Recording> readRecording(const std::u16string& wavFile, LogSink& log) {
    Recording recording{InputFile(toNarrow(wavFile))};
    InputFile& file = recording.file;
    std::array<std::uint8_t, RIFF_HEADER_BYTES> header{};
    const auto present =
        std::span(header).first(std::min<std::uint64_t>(file.size(), header.size()));
    if (file.failure() || !file.readAt(0, present)) {
        logFileFailure(wavFile, *file.failure(), log);
        return std::nullopt;
    }
    if (!hasIdAt(present, 0, "RIFF") || !hasIdAt(present, 8, "WAVE")) {
        log.write("Invalid file format");
        return std::nullopt;
    }
    const std::uint32_t riffSize = getLittleEndian32(std::span(header).subspan<4, 4>());
    // A size of 2^31 or more was always refused; one below 4 leaves no body.
    if (riffSize > file.size() - 8 || riffSize > MAX_RIFF_SIZE || riffSize < MIN_RIFF_SIZE) {
        log.write("RIFF length is incorrect");
        return std::nullopt;
    }
    recording.bodyLength = riffSize - 4;
    return recording;
}

std::optional<EncodedAudio> encodePackets(Recording recording, const std::u16string& wavFile,
                                          std::int32_t cpType, LogSink& log) {
    const auto samples = readSamples(recording, wavFile, log);
    if (!samples) {
        return std::nullopt;
    }
    auto audio = compressWaveData(*samples, cpType, log);
    // A codec failure fails the job too: a file with missing audio must not be
    // reported as converted.
    if (!audio || audio->codecFailed) {
        log.write(u"Compression of \"" + wavFile + u"\" file failed on bad format.");
        return std::nullopt;
    }
    EncodedAudio encoded{std::move(*audio), {}};
    auto packets = packetise(encoded.audio.stream(), cpType, log);
    if (!packets) {
        log.write("Failed to packetise the data");
        return std::nullopt;
    }
    encoded.packets = std::move(*packets);
    return encoded;
}

}  // namespace quen
