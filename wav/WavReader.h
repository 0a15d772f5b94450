// The one reader of recordings, for the conversion jobs and for `quen check` alike: the
// RIFF header checks, the format checks and the walk to the data chunk, then the
// samples in blocks. Each refusal and each read failure goes to the log with the job's
// own message, in the order the conversion has always checked them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/InputFile.h"
#include "platform/LogSink.h"
#include "platform/Result.h"
#include "wav/WaveData.h"

namespace quen {

// The category of a recording refused for what it holds; a file that cannot be read
// fails with the file layer's own category, which is never this one for a file opened
// here.
inline constexpr FailureCategory REFUSED_RECORDING = FailureCategory::InvalidFile;

class WavReader {
  public:
    // Opens `wavFile` read-only and checks "RIFF", "WAVE" and the RIFF size; only those
    // 12 bytes are read. Fails after "Can't open file", "Invalid file format" or "RIFF
    // length is incorrect" in `log`.
    static Result<WavReader> open(const std::u16string& wavFile, LogSink& log);

    // Checks the format chunk and walks to the data chunk, reading only the chunk
    // headers before it. A REFUSED_RECORDING failure has its reason in `log`, and the
    // caller adds its own line; any other has "Can't open file" there.
    Result<void> findSamples(LogSink& log);

    // The sample bytes found: the data chunk's stated length, cut to the bytes present.
    std::uint64_t sampleBytes() const { return location_.length; }

    // The next sample bytes, as many as `buffer` holds or as are left (none at the end);
    // fails after "Can't open file" in `log`, as for a file that stopped short.
    Result<std::span<const std::uint8_t>> readSamples(std::span<std::uint8_t> buffer, LogSink& log);

  private:
    WavReader(const std::u16string& wavFile);

    Failure unreadable(LogSink& log) const;

    std::u16string wavFile_;
    InputFile file_;
    std::uint32_t bodyLength_ = 0;  // the RIFF size minus 4
    WaveLocation location_;
    std::uint64_t read_ = 0;  // sample bytes read so far
};

}  // namespace quen
