// The one reader of recordings, for the conversion jobs and for `quen check` alike: the
// RIFF header checks, the format checks and the walk to the data chunk, then the
// samples in blocks. Each refusal and each read failure goes to the log with the job's
// own message, in the order the conversion has always checked them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audio/WaveData.h"
#include "platform/InputFile.h"
#include "platform/LogSink.h"

namespace quen {

class WavReader {
  public:
    // Opens `wavFile` read-only and checks "RIFF", "WAVE" and the RIFF size; only those
    // 12 bytes are read. Empty after "Can't open file", "Invalid file format" or "RIFF
    // length is incorrect" in `log`.
    static std::optional<WavReader> open(const std::u16string& wavFile, LogSink& log);

    enum class Search { Found, Refused, Unreadable };
    // Checks the format chunk and walks to the data chunk, reading only the chunk
    // headers before it. Refused: the reason is in `log`, and the caller adds its own
    // line; Unreadable: "Can't open file" is in `log`.
    Search findSamples(LogSink& log);

    // The sample bytes found: the data chunk's stated length, cut to the bytes present.
    std::uint64_t sampleBytes() const { return location_.length; }

    // The next sample bytes, as many as `buffer` holds or as are left (none at the end);
    // empty after "Can't open file" in `log`, as for a file that stopped short.
    std::optional<std::span<const std::uint8_t>> readSamples(std::span<std::uint8_t> buffer,
                                                             LogSink& log);

  private:
    WavReader(const std::u16string& wavFile);

    std::u16string wavFile_;
    InputFile file_;
    std::uint32_t bodyLength_ = 0;  // the RIFF size minus 4
    WaveLocation location_;
    std::uint64_t read_ = 0;  // sample bytes read so far
};

}  // namespace quen
