// Reads a recording in one of the containers MediaInput allows (WAV of every kind, RF64,
// W64, MP3, M4A/AAC, Ogg, FLAC, AIFF, CAF) and turns it into what a telephone line carries: one
// channel of float samples at 8000 Hz, resampled with a filter steep enough that nothing above 4
// kHz folds back into the band. The file is parsed in a jailed child process, never in
// the caller's.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dsp/ClippingRuns.h"
#include "dsp/SampleBlocks.h"
#include "media/ChannelBalance.h"
#include "media/SourcePeaks.h"
#include "platform/Result.h"
#include "wav/WaveFormat.h"

namespace quen {

// The rate QuenGreeting takes.
constexpr int TELEPHONY_SAMPLE_RATE = SPEECH_SAMPLE_RATE;
// Input sample rates below this are not speech.
constexpr int MIN_SPEECH_SAMPLE_RATE = 4000;
// The most channels a recording may have.
constexpr int MAX_SOURCE_CHANNELS = 8;
// Decoding mixes the channels into their average unless asked for one of them.
constexpr int MIX_CHANNELS = -1;

// What a file really is, as libavformat and libavcodec name it.
struct MediaFormat {
    std::string container;      // short name, e.g. "wav" or "mp3"
    std::string containerLong;  // e.g. "WAV / WAVE (Waveform Audio)"
    std::string codec;          // e.g. "pcm_s16le" or "mp3"
    std::string codecLong;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;  // 0 for compressed audio
    double durationSeconds = 0.0;
};

// Opens the file far enough to name its container and its first audio stream. A
// failure's text says what is wrong with the file, without its name.
Result<MediaFormat> probeMedia(const std::string& path);

struct TelephonyAudio {
    MediaFormat source;
    SampleBlocks samples;  // mono, TELEPHONY_SAMPLE_RATE, full scale +-1.0
    // Decoding stopped at the caller's limit with input left unread.
    bool moreFollows = false;
    // Runs at the full scale of the source's own samples, over every channel.
    ClippingRuns sourceClipping;
    // Its peak and true peak, on the same samples.
    PeakFigures sourcePeaks;
    // Each channel's level beside their mix, whichever was decoded.
    ChannelBalance channels;
};

// Called now and then while decoding with the seconds read so far and the input's
// stated duration (0 when unknown).
using DecodeProgress = std::function<void(double secondsRead, double secondsTotal)>;

// Called with each block of samples as it comes, before it is kept; it may change them in
// place. The caller's first stage runs there, while the rest is still being decoded.
using SampleTap = std::function<void(std::span<float> samples)>;

// Decodes the best audio stream, mixes its channels down to their average and
// resamples to 8000 Hz. Damaged audio data, a stream without samples, NaN or infinite
// samples and impossible rates or channel counts are errors, not shorter output.
// Decoding stops once `maxSamples` output samples are there, so the
// memory used follows the output asked for, not the input's length or its claims; a
// little more than `maxSamples` may come back.
// Every byte of the file is parsed in a jailed child process (limited in memory and CPU
// time, opening nothing); one that breaks its limits, crashes or is killed is a failure
// that says so.
// `channel` (from 0) takes that channel alone instead of the mix, where there is one.
Result<TelephonyAudio> decodeForTelephony(const std::string& path, std::size_t maxSamples,
                                          const DecodeProgress& progress = {},
                                          const SampleTap& tap = {}, int channel = MIX_CHANNELS);

}  // namespace quen
