// Every sample format is brought to floats on +/-1.0, and the top of each format's range
// found there: 24-bit sources arrive as 32-bit samples with the low byte zero, so their
// highest value is 0x7FFFFF00, which 1 - 2^-23 stands for.
#include "media/SourceClipping.h"

#include "media/FrameSamples.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <climits>
#include <cstdint>

namespace quen {
namespace {

constexpr double TOP_OF_24_BITS = 1.0 - 1.0 / (1 << 23);
constexpr float NOT_CLIPPED = 0.0f;

// The counter for one channel of `format`.
ClippingRunCounter counterFor(AVSampleFormat packed) {
    switch (packed) {
        case AV_SAMPLE_FMT_U8:
            return ClippingRunCounter(-1.0, 127.0 / 128.0);
        case AV_SAMPLE_FMT_S16:
            return ClippingRunCounter(-1.0, 32767.0 / 32768.0);
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S64:
            return ClippingRunCounter(-1.0, TOP_OF_24_BITS);
        default:
            // A float made from 16 bits tops out one step short of 1.0.
            return ClippingRunCounter(-1.0, 32767.0 / 32768.0);
    }
}

template <typename T>
bool anyBeyond(const std::uint8_t* data, std::size_t count, std::size_t stride, T low, T high) {
    const auto* values = reinterpret_cast<const T*>(data);
    unsigned found = 0;
    // Planar channels, the common case, in a loop the compiler vectorises: it takes an
    // integer, not a bool, to collect the comparisons in.
    if (stride == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            found |= (values[i] <= low ? 1U : 0U) | (values[i] >= high ? 1U : 0U);
        }
        return found != 0;
    }
    for (std::size_t i = 0; i < count * stride; i += stride) {
        found |= (values[i] <= low ? 1U : 0U) | (values[i] >= high ? 1U : 0U);
    }
    return found != 0;
}

// Whether any sample of the channel lies at full scale, read in the format's own type
// with a little room: most frames have none and need no counting.
bool mayClip(AVSampleFormat packed, const std::uint8_t* data, std::size_t count,
             std::size_t stride) {
    switch (packed) {
        case AV_SAMPLE_FMT_U8:
            return anyBeyond<std::uint8_t>(data, count, stride, 0, 255);
        case AV_SAMPLE_FMT_S16:
            return anyBeyond<std::int16_t>(data, count, stride, -32768, 32767);
        case AV_SAMPLE_FMT_S32:
            return anyBeyond<std::int32_t>(data, count, stride, INT32_MIN, 0x7FFFFF00);
        case AV_SAMPLE_FMT_FLT:
            return anyBeyond<float>(data, count, stride, -0.9999f, 0.9999f);
        case AV_SAMPLE_FMT_DBL:
            return anyBeyond<double>(data, count, stride, -0.9999, 0.9999);
        default:
            return true;
    }
}

}  // namespace

void SourceClipping::add(const AVFrame& frame) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const auto channels = static_cast<std::size_t>(frame.ch_layout.nb_channels);
    if (frame.format != format_ || counters_.size() != channels) {
        earlier_ = result();
        counters_.assign(channels, counterFor(packed));
        format_ = frame.format;
    }
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const auto count = static_cast<std::size_t>(frame.nb_samples);
    for (std::size_t channel = 0; channel < channels; ++channel) {
        const std::uint8_t* plane = frame.extended_data[planar ? channel : 0];
        if (!mayClip(packed, plane + (planar ? 0 : channel * av_get_bytes_per_sample(packed)),
                     count, planar ? 1 : channels)) {
            // One sample off full scale ends a run left open by the frame before.
            counters_[channel].add(std::span<const float>(&NOT_CLIPPED, 1));
            continue;
        }
        channel_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            channel_[i] =
                planar ? frameSampleAt(packed, frame.extended_data[channel], i)
                       : frameSampleAt(packed, frame.extended_data[0], i * channels + channel);
        }
        counters_[channel].add(std::span<const float>(channel_));
    }
}

ClippingRuns SourceClipping::result() const {
    ClippingRuns total = earlier_;
    for (const ClippingRunCounter& counter : counters_) {
        const ClippingRuns runs = counter.result();
        total.runs += runs.runs;
        total.samples += runs.samples;
        total.fullScaleSamples += runs.fullScaleSamples;
    }
    return total;
}

}  // namespace quen
