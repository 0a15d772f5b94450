// Why a recording gives no samples: refused for what it holds, each check its own
// reason, or not readable at all, with the file layer's category.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FailureCategory.h"

namespace quen {

// The checks in the order they run: the RIFF header first, then the format chunk and
// the walk to the data chunk.
enum class RecordingRefusal : std::uint8_t {
    NotRiffWave,    // no "RIFF" at offset 0 or no "WAVE" at offset 8
    RiffLength,     // a RIFF size beyond the file, of 2^31 or more, or below 4
    NoFormatChunk,  // the body does not begin with "fmt "
    FormatLength,   // a format chunk shorter than 16 or longer than 52 bytes
    MultiChannel,   // more than one channel, whatever the encoding
    NotPcm,         // a format tag other than PCM
    SampleRate,     // not 8000 samples per second
    SampleSize,     // not 16-bit samples two bytes apart
    NoDataChunk,    // no data chunk where the walk looks
};

class RecordingFailure {
  public:
    RecordingFailure(RecordingRefusal refusal) : refusal_(refusal) {}
    RecordingFailure(FailureCategory unreadable) : category_(unreadable) {}

    // Set for a recording refused for what it holds; empty when it could not be read.
    const std::optional<RecordingRefusal>& refusal() const { return refusal_; }
    // Why the file could not be opened or read; InvalidFile for a refused recording.
    FailureCategory category() const { return category_; }

  private:
    std::optional<RecordingRefusal> refusal_;
    FailureCategory category_ = FailureCategory::InvalidFile;
};

}  // namespace quen
