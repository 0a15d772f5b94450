// The conversion loop from the recording's blocks to the data file's packets, with the
// messages both jobs write.
#include "jobs/ConversionSteps.h"

#include <vector>

#include "codec/WaveCompressor.h"

namespace quen {

void logCreatingDataFile(const std::u16string& outFile, LogSink& log) {
    log.write(u"Creating data file - \"" + outFile + u"\"");
}

std::optional<DataFileOutput> convertRecording(WavReader recording, const std::u16string& wavFile,
                                               const DataFileRequest& request, LogSink& log) {
    if (const Result<void> found = recording.findSamples(log); !found) {
        if (found.failure().category == REFUSED_RECORDING) {
            logCompressionFailed(wavFile, log);
        }
        return std::nullopt;
    }
    DataFileOutput output(request.outFile, request.codec);
    // The codec's messages wait for the end: a read failure found later is reported
    // alone, as when the samples were read before the codec ran.
    LogBuffer codecLog;
    WaveCompressor compressor(request.codec, codecLog);
    std::vector<std::uint8_t> block(WaveCompressor::INPUT_BLOCK_BYTES);
    for (;;) {
        const auto samples = recording.readSamples(block, log);
        if (!samples) {
            return std::nullopt;
        }
        if (samples->empty()) {
            break;
        }
        output.add(compressor.compress(*samples));
    }
    const bool compressed = compressor.finish();
    codecLog.replayInto(log);
    // A codec failure fails the job too: a file with missing audio must not be
    // reported as converted.
    if (!compressed) {
        logCompressionFailed(wavFile, log);
        return std::nullopt;
    }
    output.finish(request.flashType, request.header());
    return output;
}

}  // namespace quen
