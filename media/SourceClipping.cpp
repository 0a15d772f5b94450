// Every sample format is brought to floats on +/-1.0, and the top of each format's range
// found there: 24-bit sources arrive as 32-bit samples with the low byte zero, so their
// highest value is 0x7FFFFF00, which 1 - 2^-23 stands for.
#include "media/SourceClipping.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <cstdint>

namespace quen {
namespace {

constexpr double TOP_OF_24_BITS = 1.0 - 1.0 / (1 << 23);

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
float scaled(const std::uint8_t* data, std::size_t index, double scale, double offset) {
    return static_cast<float>(
        (static_cast<double>(reinterpret_cast<const T*>(data)[index]) - offset) * scale);
}

// Sample `index` of plane `data` on +/-1.0.
float sampleAt(AVSampleFormat packed, const std::uint8_t* data, std::size_t index) {
    switch (packed) {
        case AV_SAMPLE_FMT_U8:
            return scaled<std::uint8_t>(data, index, 1.0 / 128, 128.0);
        case AV_SAMPLE_FMT_S16:
            return scaled<std::int16_t>(data, index, 1.0 / 32768, 0.0);
        case AV_SAMPLE_FMT_S32:
            return scaled<std::int32_t>(data, index, 1.0 / 2147483648.0, 0.0);
        case AV_SAMPLE_FMT_S64:
            return scaled<std::int64_t>(data, index, 1.0 / 9223372036854775808.0, 0.0);
        case AV_SAMPLE_FMT_FLT:
            return reinterpret_cast<const float*>(data)[index];
        case AV_SAMPLE_FMT_DBL:
            return static_cast<float>(reinterpret_cast<const double*>(data)[index]);
        default:
            return 0.0f;
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
        channel_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            channel_[i] = planar ? sampleAt(packed, frame.extended_data[channel], i)
                                 : sampleAt(packed, frame.extended_data[0], i * channels + channel);
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
    }
    return total;
}

}  // namespace quen
