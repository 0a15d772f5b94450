// The one reader of recordings, for the conversion jobs and for `quen check` alike: the
// RIFF header checks, the format checks and the walk to the data chunk, then the
// samples in blocks. Each step fails with its reason, in the order the conversion has
// always checked them; the caller words it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/InputFile.h"
#include "platform/Result.h"
#include "wav/RecordingFailure.h"
#include "wav/WaveData.h"

namespace quen {

class WavReader {
  public:
    // Opens `wavFile` read-only and checks "RIFF", "WAVE" and the RIFF size; only those
    // 12 bytes are read. Fails unreadable, NotRiffWave or RiffLength.
    static Result<WavReader, RecordingFailure> open(const std::u16string& wavFile);

    // Checks the format chunk and walks to the data chunk, reading only the chunk
    // headers before it. Fails with the first check's refusal, or unreadable.
    Result<void, RecordingFailure> findSamples();

    // The sample bytes found: the data chunk's stated length, cut to the bytes present.
    std::uint64_t sampleBytes() const { return location_.length; }

    // The next sample bytes, as many as `buffer` holds or as are left (none at the end);
    // fails unreadable, EndOfFile for a file that stopped short.
    Result<std::span<const std::uint8_t>, RecordingFailure> readSamples(
        std::span<std::uint8_t> buffer);

  private:
    explicit WavReader(const std::u16string& wavFile);

    RecordingFailure unreadable() const;

    InputFile file_;
    std::uint32_t bodyLength_ = 0;  // the RIFF size minus 4
    WaveLocation location_;
    std::uint64_t read_ = 0;  // sample bytes read so far
};

}  // namespace quen
