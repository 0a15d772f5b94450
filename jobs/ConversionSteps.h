// The steps the greeting and the message conversion share, in the order both run
// them: announce the data file, open and check the recording, then locate, compress
// and packetise its samples. Each step writes its own failure to the log; the job then
// just returns false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/CompressWaveData.h"
#include "datafile/Packetiser.h"
#include "platform/InputFile.h"
#include "platform/LogSink.h"

namespace quen {

// The "Creating data file - " line, written before anything can fail.
void logCreatingDataFile(const std::u16string& outFile, LogSink& log);

// An open recording whose RIFF header passed the checks.
struct Recording {
    InputFile file;
    std::uint32_t bodyLength = 0;  // the RIFF size minus 4
};

// Opens `wavFile` (read-only) and checks "RIFF", "WAVE" and the RIFF size; only those
// 12 bytes are read.
std::optional<Recording> readRecording(const std::u16string& wavFile, LogSink& log);

// The compressed stream and the packets cut from it, which point into it: moved, never
// copied.
struct EncodedAudio {
    CompressedAudio audio;
    PacketStream packets;
};

// Locates the samples (reading only the chunk headers before them), reads them,
// compresses them with `cpType` and cuts the stream into packets. The recording is
// taken and closed on return, before any data file is created: a data file may replace
// its own recording.
std::optional<EncodedAudio> encodePackets(Recording recording, const std::u16string& wavFile,
                                          std::int32_t cpType, LogSink& log);

}  // namespace quen
