// The steps the greeting and the message conversion share, in the order both run
// them: announce the data file, open and check the recording, then locate, compress,
// packetise and write its samples block by block. Each step writes its own failure to
// the log; the job then just returns false. `quen check` reads recordings with the same
// two reading steps, so its verdict and its lines are a conversion's own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "codec/Codec.h"
#include "datafile/DataFileHeader.h"
#include "datafile/DataFileOutput.h"
#include "platform/LogSink.h"
#include "wav/WavReader.h"

namespace quen {

// The "Creating data file - " line, written before anything can fail, then the
// recording opened and its RIFF header checked; nothing after a failure, whose lines are
// in `log`.
std::optional<WavReader> openRecording(const std::u16string& wavFile, const std::u16string& outFile,
                                       LogSink& log);

// Locates the samples of the opened recording; false once the failure is logged, a
// refused recording's reason followed by the job's "Compression of" line.
bool locateRecordingSamples(WavReader& recording, const std::u16string& wavFile, LogSink& log);

// Hands the located samples to `take` block by block, in the blocks the compressor
// takes; false once a read failure is logged.
bool readRecordingSamples(WavReader& recording, const std::u16string& wavFile, LogSink& log,
                          const std::function<void(std::span<const std::uint8_t>)>& take);

// The lines of a recording that gives no samples, as a conversion logs them.
void logRecordingFailure(const std::u16string& wavFile, const RecordingFailure& failure,
                         LogSink& log);

// What a conversion writes besides its samples.
struct DataFileRequest {
    std::u16string outFile;
    Codec codec = Codec::ALaw;
    std::uint8_t flashType = 0;
    // Called once the samples are compressed, as the header is the last thing made.
    std::function<DataFileHeader()> header;
};

// Locates the samples of the checked recording, reads, compresses and packetises them
// block by block into the data file's temporary file, and finishes it with the
// header: the data file ready for its commit, or nothing after the failure was
// logged. The recording is taken and closed on return, so a data file may replace its
// own recording. Messages come in the order of a conversion that reads the whole
// recording first: a read failure alone, or the codec's messages and then the job's.
std::optional<DataFileOutput> convertRecording(WavReader recording, const std::u16string& wavFile,
                                               const DataFileRequest& request, LogSink& log);

}  // namespace quen
