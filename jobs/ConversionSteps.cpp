// The conversion loop from the recording's blocks to the data file's packets, with the
// messages both jobs write.
#include "jobs/ConversionSteps.h"

#include <vector>

#include "codec/WaveCompressor.h"
#include "jobs/LogLines.h"

namespace quen {

void logRecordingFailure(const std::u16string& wavFile, const RecordingFailure& failure,
                         LogSink& log) {
    for (const auto& line : loglines::recordingFailed(wavFile, failure)) {
        log.write(line);
    }
}

std::optional<WavReader> openRecording(const std::u16string& wavFile, const std::u16string& outFile,
                                       LogSink& log) {
    log.write(loglines::creatingDataFile(outFile));
    auto recording = WavReader::open(wavFile);
    if (!recording) {
        logRecordingFailure(wavFile, recording.failure(), log);
        return std::nullopt;
    }
    return std::move(*recording);
}

bool locateRecordingSamples(WavReader& recording, const std::u16string& wavFile, LogSink& log) {
    if (const auto found = recording.findSamples(); !found) {
        logRecordingFailure(wavFile, found.failure(), log);
        return false;
    }
    return true;
}

bool readRecordingSamples(WavReader& recording, const std::u16string& wavFile, LogSink& log,
                          const std::function<void(std::span<const std::uint8_t>)>& take) {
    std::vector<std::uint8_t> block(WaveCompressor::INPUT_BLOCK_BYTES);
    for (;;) {
        const auto samples = recording.readSamples(block);
        if (!samples) {
            logRecordingFailure(wavFile, samples.failure(), log);
            return false;
        }
        if (samples->empty()) {
            return true;
        }
        take(*samples);
    }
}

std::optional<DataFileOutput> convertRecording(WavReader recording, const std::u16string& wavFile,
                                               const DataFileRequest& request, LogSink& log) {
    if (!locateRecordingSamples(recording, wavFile, log)) {
        return std::nullopt;
    }
    DataFileOutput output(request.outFile, request.codec);
    // The codec's failures are told at the end: a read failure found later is reported
    // alone, as when the samples were read before the codec ran.
    WaveCompressor compressor(request.codec);
    if (!readRecordingSamples(recording, wavFile, log, [&](std::span<const std::uint8_t> samples) {
            output.add(compressor.compress(samples));
        })) {
        return std::nullopt;
    }
    // A codec failure fails the job too: a file with missing audio must not be
    // reported as converted.
    if (const auto compressed = compressor.finish(); !compressed) {
        for (const auto& line : loglines::codecFailed(wavFile, compressed.failure())) {
            log.write(line);
        }
        return std::nullopt;
    }
    output.finish(request.flashType, request.header());
    return output;
}

}  // namespace quen
