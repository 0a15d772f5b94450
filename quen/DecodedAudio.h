// The audio of a data file as 16-bit samples at its codec's rate, whichever the codec.
#pragma once

#include <climits>
#include <cstdint>
#include <vector>

#include "datafile/DataFileReader.h"

namespace quen::tool {

struct DecodedAudio {
    std::vector<std::int16_t> samples;
    // G.723.1 frames the decoder refused (each left as 30 ms of silence).
    std::size_t failedFrames = 0;
    // The furthest the codec's output reaches either way: G.711 never decodes to the
    // ends of the 16-bit range, so clipping in a data file is a run at these.
    std::int16_t lowest = INT16_MIN;
    std::int16_t highest = INT16_MAX;
};

// A failure when the codec's decoder cannot be opened.
Result<DecodedAudio> decodeAudio(const DataFileContents& contents);

}  // namespace quen::tool
