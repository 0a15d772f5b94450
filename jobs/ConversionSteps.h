// The steps the greeting and the message conversion share, in the order both run
// them: announce the data file, open and check the recording, then locate, compress,
// packetise and write its samples block by block. Each step writes its own failure to
// the log; the job then just returns false.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "codec/Codec.h"
#include "datafile/DataFileHeader.h"
#include "datafile/DataFileOutput.h"
#include "platform/LogSink.h"
#include "wav/WavReader.h"

namespace quen {

// The "Creating data file - " line, written before anything can fail.
void logCreatingDataFile(const std::u16string& outFile, LogSink& log);

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
