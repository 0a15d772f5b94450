// The decoding itself, run in the process that calls it: the jailed child of
// MediaDecoder runs it on its one input. It hands on what it decodes as it goes, so
// that nothing of the output needs to be held here.
#pragma once

#include <cstddef>
#include <span>

#include "dsp/ClippingRuns.h"
#include "media/ChannelBalance.h"
#include "media/MediaDecoder.h"
#include "media/MediaInput.h"
#include "media/OrderedWorker.h"
#include "platform/Result.h"

namespace quen {

// Takes what a decode gives, in order: the format once, then the samples (mono,
// TELEPHONY_SAMPLE_RATE) a block at a time, progress now and then. A failure stops the
// decode with it.
class DecodeSink {
  public:
    virtual ~DecodeSink() = default;
    virtual Result<void> format(const MediaFormat& format) = 0;
    virtual Result<void> samples(std::span<const float> samples) = 0;
    virtual Result<void> progress(double secondsRead, double secondsTotal) = 0;
};

// How a decode ended that gave every sample to its sink.
struct DecodeEnd {
    // Stopped at the caller's limit with input left unread.
    bool moreFollows = false;
    ClippingRuns sourceClipping;
    PeakFigures sourcePeaks;
    ChannelBalance channels;
};

// probeMedia on an opened input.
Result<MediaFormat> probeInput(MediaInput& input);

// The decoded samples that may wait for `decodeInput`'s worker: a small share of the
// decoding child's memory, and a wakeup of the worker for every 2 MiB.
inline constexpr std::size_t MAX_QUEUED_FRAME_BYTES = std::size_t{4} << 20;

// decodeForTelephony on an opened input. Besides `maxSamples` of output, it reads no
// more than the input samples that many output samples take at the stream's stated rate
// and channel count, and a second more: the rest counts as more than was asked for.
// The decoded frames are resampled and handed to `sink` on `worker`: the average of the
// channels, or the one channel `channel` (from 0) where it is one of them.
Result<DecodeEnd> decodeInput(MediaInput& input, std::size_t maxSamples, DecodeSink& sink,
                              OrderedWorker& worker, int channel = MIX_CHANNELS);

}  // namespace quen
