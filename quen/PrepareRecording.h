// The sound side of `quen prepare`: from telephone-rate float samples to the 16-bit
// samples of a recording QuenGreeting takes, loudness normalised without clipping,
// optionally trimmed of silence and cut to a maximum length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "media/SampleBlocks.h"

namespace quen {

// Integrated loudness that speech prompts on a telephone line are usually levelled
// to: loud enough over line noise, with room below full scale for the peaks.
constexpr double DEFAULT_TARGET_LUFS = -18.0;
// The gain never lifts the largest sample above this, so nothing clips, not even
// after dither.
constexpr double PEAK_CEILING_DBFS = -1.0;
// Trimming keeps this much of the silence before and after the sound.
constexpr double TRIM_MARGIN_SECONDS = 0.2;
// A cut made by a maximum length fades out over this time instead of clicking.
constexpr double CUT_FADE_SECONDS = 0.02;
// The most that is ever read of a recording, far above any greeting or message: a
// file that claims or holds more costs no more than this.
constexpr double MAX_PREPARED_SECONDS = 4 * 3600.0;

struct PrepareOptions {
    bool normalize = true;
    double targetLufs = DEFAULT_TARGET_LUFS;
    bool trimSilence = false;
    std::optional<double> maxSeconds;
};

struct PreparedRecording {
    std::vector<std::int16_t> samples;
    std::optional<double> inputLufs;  // empty for silence
    double inputPeakDbfs = 0.0;
    double gainDb = 0.0;
    bool gainLimitedByPeak = false;  // the target needed more gain than the peak allowed
    std::size_t trimmedLeading = 0;  // samples
    std::size_t trimmedTrailing = 0;
    std::size_t cutAtEnd = 0;  // samples dropped by the maximum length
};

// `samples` are mono at 8000 Hz: the start of the recording, followed by
// `unreadSamples` that decoding left unread because of the maximum length (they count
// towards the cut).
// The samples are released as the result is made.
PreparedRecording prepareRecording(SampleBlocks&& samples, const PrepareOptions& options,
                                   std::size_t unreadSamples = 0);

}  // namespace quen
