// Sums of squares in double, over every frame: a four-hour source sums about 10^11
// squares of at most 1, well within a double's exact range for this purpose.
#include "media/ChannelBalance.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>

#include "media/FrameSamples.h"

namespace quen {

void ChannelBalanceMeter::add(const AVFrame& frame) {
    const auto channels = static_cast<std::size_t>(frame.ch_layout.nb_channels);
    // A single channel has nothing to cancel against.
    if (channels < 2) {
        return;
    }
    if (channelSquares_.size() < channels) {
        channelSquares_.resize(channels, 0.0);
    }
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const auto count = static_cast<std::size_t>(frame.nb_samples);
    for (std::size_t i = 0; i < count; ++i) {
        double sum = 0.0;
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const double sample =
                planar ? frameSampleAt(packed, frame.extended_data[channel], i)
                       : frameSampleAt(packed, frame.extended_data[0], i * channels + channel);
            channelSquares_[channel] += sample * sample;
            sum += sample;
        }
        const double mix = sum / static_cast<double>(channels);
        mixSquares_ += mix * mix;
    }
    samples_ += static_cast<double>(count);
}

ChannelBalance ChannelBalanceMeter::result() const {
    if (channelSquares_.empty() || samples_ == 0.0) {
        return {};
    }
    const auto louder = std::max_element(channelSquares_.begin(), channelSquares_.end());
    return {static_cast<int>(louder - channelSquares_.begin()), *louder / samples_,
            mixSquares_ / samples_};
}

}  // namespace quen
