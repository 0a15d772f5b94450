// Each channel is brought to floats on +/-1.0 and read through its own true-peak meter,
// so that the interpolation never runs from one channel into another.
#include "media/SourcePeaks.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>

#include "media/FrameSamples.h"

namespace quen {

void SourcePeaks::add(const AVFrame& frame) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const auto channels = static_cast<std::size_t>(frame.ch_layout.nb_channels);
    if (meters_.size() != channels) {
        earlier_ = result();
        meters_.assign(channels, TruePeakMeter());
        zeroTails_.assign(channels, 0);
    }
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const auto count = static_cast<std::size_t>(frame.nb_samples);
    channel_.resize(count);
    for (std::size_t channel = 0; channel < channels; ++channel) {
        for (std::size_t i = 0; i < count; ++i) {
            const float sample =
                planar ? frameSampleAt(packed, frame.extended_data[channel], i)
                       : frameSampleAt(packed, frame.extended_data[0], i * channels + channel);
            channel_[i] = sample;
            peak_ = std::max(peak_, std::abs(sample));
        }
        const auto lastSound =
            std::find_if(channel_.rbegin(), channel_.rend(), [](float s) { return s != 0.0f; });
        const auto zeros = static_cast<std::size_t>(lastSound - channel_.rbegin());
        std::size_t& zeroTail = zeroTails_[channel];
        if (zeros == count && zeroTail >= Oversampler4x::TAPS_PER_PHASE) {
            zeroTail += count;
            continue;
        }
        meters_[channel].add(channel_);
        zeroTail = zeros == count ? zeroTail + count : zeros;
    }
}

PeakFigures SourcePeaks::result() const {
    PeakFigures figures = earlier_;
    figures.peak = std::max(figures.peak, static_cast<double>(peak_));
    for (const TruePeakMeter& meter : meters_) {
        figures.truePeak = std::max(figures.truePeak, meter.truePeak());
    }
    return figures;
}

}  // namespace quen
