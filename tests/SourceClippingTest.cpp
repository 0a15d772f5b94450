// Clipping at the full scale of the source's own sample format, on decoded frames built
// here: every format, planar and interleaved, with runs that cross a frame's end, a value
// one step short of full scale, a frame without clipping that ends an open run, and a
// change of format or layout that keeps what was counted before it.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "media/AvOwners.h"
#include "media/SourceClipping.h"
#include "media/SourcePeaks.h"

namespace quen::test {
namespace {

// The values of one format, as stored: its top and bottom of range, the nearest value
// below its top that is not full scale, and its silence.
struct Format {
    AVSampleFormat format;
    double top;
    double bottom;
    double nearTop;
    double zero;
};

template <typename T>
void store(AVFrame& frame, std::size_t channel, std::size_t i, double value) {
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame.format)) != 0;
    const std::size_t channels = static_cast<std::size_t>(frame.ch_layout.nb_channels);
    T* data = reinterpret_cast<T*>(frame.extended_data[planar ? channel : 0]);
    data[planar ? i : i * channels + channel] = static_cast<T>(value);
}

// A frame of `format` whose channels hold `values` (one vector a channel).
FramePtr makeFrame(AVSampleFormat format, const std::vector<std::vector<double>>& values) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    av_channel_layout_default(&frame->ch_layout, static_cast<int>(values.size()));
    frame->nb_samples = static_cast<int>(values[0].size());
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (std::size_t channel = 0; channel < values.size(); ++channel) {
        for (std::size_t i = 0; i < values[channel].size(); ++i) {
            const double v = values[channel][i];
            switch (av_get_packed_sample_fmt(format)) {
                case AV_SAMPLE_FMT_U8:
                    store<std::uint8_t>(*frame, channel, i, v);
                    break;
                case AV_SAMPLE_FMT_S16:
                    store<std::int16_t>(*frame, channel, i, v);
                    break;
                case AV_SAMPLE_FMT_S32:
                    store<std::int32_t>(*frame, channel, i, v);
                    break;
                case AV_SAMPLE_FMT_S64:
                    store<std::int64_t>(*frame, channel, i, v);
                    break;
                case AV_SAMPLE_FMT_FLT:
                    store<float>(*frame, channel, i, v);
                    break;
                default:
                    store<double>(*frame, channel, i, v);
                    break;
            }
        }
    }
    return frame;
}

constexpr double S32_MIN = std::numeric_limits<std::int32_t>::min();
// 24-bit sources arrive as 32-bit samples with the low byte zero.
constexpr double TOP_OF_24 = 0x7FFFFF00;
constexpr double BELOW_TOP_OF_24 = 0x7FFFFE00;

const Format FORMATS[] = {
    {AV_SAMPLE_FMT_U8, 255, 0, 254, 128},
    {AV_SAMPLE_FMT_U8P, 255, 0, 254, 128},
    {AV_SAMPLE_FMT_S16, 32767, -32768, 32766, 0},
    {AV_SAMPLE_FMT_S16P, 32767, -32768, 32766, 0},
    {AV_SAMPLE_FMT_S32, TOP_OF_24, S32_MIN, BELOW_TOP_OF_24, 0},
    {AV_SAMPLE_FMT_S32P, TOP_OF_24, S32_MIN, BELOW_TOP_OF_24, 0},
    {AV_SAMPLE_FMT_S64, 9.2233720368547748e18, -9.2233720368547758e18, 0.99999 * 9.2e18, 0},
    {AV_SAMPLE_FMT_FLT, 1.0, -1.0, 0.99995, 0},
    {AV_SAMPLE_FMT_FLTP, 1.0, -1.0, 0.99995, 0},
    {AV_SAMPLE_FMT_DBL, 1.0, -1.0, 0.99995, 0},
    {AV_SAMPLE_FMT_DBLP, 1.0, -1.0, 0.99995, 0},
};

TEST(SourceClippingTest, RunsAreCountedPerChannelAtTheFormatsOwnFullScale) {
    for (const Format& f : FORMATS) {
        SCOPED_TRACE(av_get_sample_fmt_name(f.format));
        const double T = f.top, B = f.bottom, N = f.nearTop, Z = f.zero;
        SourceClipping clipping;
        // Channel 0: a run of three, then one sample short of full scale. Channel 1: a run
        // of two (too short), and one at the frame's end that goes on in the next frame.
        clipping.add(*makeFrame(f.format, {{Z, T, T, T, Z, N, N, N}, {Z, Z, B, B, Z, Z, Z, B}}));
        // Channel 0 has no full-scale sample here; channel 1 ends its run after two more.
        clipping.add(*makeFrame(f.format, {{Z, Z, Z, Z, Z, Z, Z, Z}, {B, B, Z, Z, Z, Z, Z, Z}}));
        // A run open at the end counts too.
        clipping.add(*makeFrame(f.format, {{Z, Z, Z, Z, Z, T, T, T}, {Z, Z, Z, Z, Z, Z, Z, Z}}));
        // Channel 1's last sample alone starts a run that the next frame completes.
        clipping.add(*makeFrame(f.format, {{Z, Z, Z, Z, Z, Z, Z, Z}, {Z, Z, Z, Z, Z, Z, Z, B}}));
        clipping.add(*makeFrame(f.format, {{Z, Z, Z, Z, Z, Z, Z, Z}, {B, B, Z, Z, Z, Z, Z, Z}}));
        const ClippingRuns runs = clipping.result();
        EXPECT_EQ(runs.runs, 4u);
        EXPECT_EQ(runs.samples, 12u);
        EXPECT_EQ(runs.fullScaleSamples, 14u);
    }
}

// A run left open by a frame ends at a frame without any full-scale sample.
TEST(SourceClippingTest, AFrameWithoutClippingEndsTheRunOpenBeforeIt) {
    for (const Format& f : FORMATS) {
        SCOPED_TRACE(av_get_sample_fmt_name(f.format));
        SourceClipping clipping;
        clipping.add(*makeFrame(f.format, {{f.zero, f.zero, f.top, f.top}}));
        clipping.add(*makeFrame(f.format, {{f.zero, f.zero}}));
        clipping.add(*makeFrame(f.format, {{f.top, f.zero}}));
        const ClippingRuns runs = clipping.result();
        EXPECT_EQ(runs.runs, 0u);
        EXPECT_EQ(runs.fullScaleSamples, 3u);
    }
}

TEST(SourceClippingTest, AChangeOfFormatOrLayoutKeepsWhatWasCounted) {
    SourceClipping clipping;
    clipping.add(*makeFrame(AV_SAMPLE_FMT_S16, {{0, 32767, 32767, 32767}}));
    // The run open at the change is closed and kept.
    clipping.add(*makeFrame(AV_SAMPLE_FMT_FLT, {{1.0, 1.0, 1.0, 0.0}}));
    clipping.add(*makeFrame(AV_SAMPLE_FMT_FLT, {{-1.0, -1.0, -1.0}, {0, 0, 0}}));
    clipping.add(*makeFrame(AV_SAMPLE_FMT_FLT, {{0.0, -1.0}, {1.0, 1.0}}));
    const ClippingRuns runs = clipping.result();
    EXPECT_EQ(runs.runs, 3u);
    EXPECT_EQ(runs.samples, 9u);
    EXPECT_EQ(runs.fullScaleSamples, 12u);
}

// The peaks of every channel, each read through its own meter, over frames that stop on
// a sound's tail, run through digital silence (which no meter needs to read) and start
// again: the same as one meter over each channel whole, whether the loudest point lies
// in the first sound's ringing tail or in the sound after the silence.
TEST(SourcePeaks, EachChannelReadsAsOneMeterOverItWhole) {
    const auto sound = [](std::size_t count, double amplitude) {
        std::vector<double> values(count);
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = amplitude * std::sin(1.9 * static_cast<double>(i) + 0.4);
        }
        return values;
    };
    // A spike at the first frame's end: its loudest point lies just past the last sample,
    // on the way to the silence after it.
    std::vector<double> spiked = sound(40, 0.2);
    spiked[38] = 0.8;
    spiked[39] = 0.8;
    for (const double after : {0.3, 0.95}) {
        SCOPED_TRACE(after);
        const std::vector<std::vector<std::vector<double>>> frames = {
            {spiked, sound(40, 0.1)},
            {std::vector<double>(5, 0.0), sound(5, 0.1)},  // the first's tail still rings
            {std::vector<double>(100, 0.0), std::vector<double>(100, 0.0)},
            {std::vector<double>(100, 0.0), std::vector<double>(100, 0.0)},
            {sound(30, after), sound(30, 0.05)},
        };
        SourcePeaks peaks;
        std::vector<std::vector<float>> whole(2);
        for (const auto& frame : frames) {
            peaks.add(*makeFrame(AV_SAMPLE_FMT_FLTP, frame));
            for (std::size_t channel = 0; channel < 2; ++channel) {
                whole[channel].insert(whole[channel].end(), frame[channel].begin(),
                                      frame[channel].end());
            }
        }
        double truePeak = 0.0;
        float peak = 0.0f;
        for (const auto& channel : whole) {
            TruePeakMeter meter;
            meter.add(channel);
            truePeak = std::max(truePeak, meter.truePeak());
            for (const float sample : channel) {
                peak = std::max(peak, std::abs(sample));
            }
        }
        const PeakFigures figures = peaks.result();
        EXPECT_EQ(figures.peak, static_cast<double>(peak));
        EXPECT_EQ(figures.truePeak, truePeak);
        EXPECT_GT(figures.truePeak, figures.peak);
    }
}

}  // namespace
}  // namespace quen::test
