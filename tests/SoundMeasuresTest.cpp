// The figures every report shows: the DC offset as the mean of the samples, signed and
// never -0, and clipping as every full-scale sample beside the runs; each measure the
// same as its meter reads it alone, for a short sound and for a long one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/TruePeak.h"
#include "quen/SoundMeasures.h"

namespace quen::tool {
namespace {

TEST(SoundMeasures, TheDcOffsetIsTheMeanOnFullScale) {
    struct Case {
        std::vector<std::int16_t> samples;
        double percent;
        const char* shown;
    };
    const Case cases[] = {
        {{}, 0.0, "+0.00 % of full scale"},
        {{328, 328, 328, 328}, 1.0, "+1.00 % of full scale"},
        // A tone around an offset: only the offset is left.
        {{-164 + 1000, -164 - 1000, -164 + 1000, -164 - 1000}, -0.5, "-0.50 % of full scale"},
        // Under half of 0.01 %, below zero: shown as no offset, without a sign of its own.
        {{-1, 0, 0, 0}, 0.0, "+0.00 % of full scale"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        const SoundFigures figures = soundFigures(measureSound(c.samples));
        EXPECT_EQ(figures.dcOffsetPercent, c.percent);
        EXPECT_FALSE(figures.dcOffsetPercent == 0 && std::signbit(figures.dcOffsetPercent));
        EXPECT_EQ(dcOffsetText(figures.dcOffsetPercent), c.shown);
        EXPECT_EQ(soundJson(measureSound(c.samples))["dc_offset_percent"], c.percent);
    }
}

TEST(SoundMeasures, ClippingShowsEveryFullScaleSampleAndTheRuns) {
    struct Case {
        std::vector<std::int16_t> samples;
        const char* shown;
    };
    const Case cases[] = {
        {{0, 32766, -32767}, "none"},
        {{32767, 0}, "1 sample at full scale, no runs of 3 or more in a row"},
        {{32767, 32767, 0, -32768, -32768, -32768},
         "5 samples at full scale, 1 run (3 samples) of 3 or more in a row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(clippingText(soundFigures(measureSound(c.samples))), c.shown);
    }
}

// Every figure equals what the meters give over all the samples, read one after the
// other: for a sound short and long, clipped at its first sample, only past its middle,
// in its last three, or at a full scale of its own (G.711's), at and inside it.
TEST(SoundMeasures, EachMeasureReadsEverySample) {
    struct Case {
        const char* name;
        std::size_t count;
        std::vector<std::size_t> clippedAt;  // each the start of three at full scale
        std::int16_t fullScale;
    };
    const Case cases[] = {
        {"short, clipped first", 4000, {0}, INT16_MAX},
        {"long, clipped first", 200'000, {0}, INT16_MAX},
        {"long, clipped past the middle", 200'000, {120'001, 150'000}, INT16_MAX},
        {"long, clipped last", 200'000, {199'997}, INT16_MAX},
        {"long, G.711 full scale", 200'000, {77'777}, 32124},
        {"long, never clipped", 200'000, {}, INT16_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int16_t> samples(c.count);
        for (std::size_t i = 0; i < c.count; ++i) {
            // Speech-like bursts, never at full scale by themselves.
            const double burst = (i / 4000) % 2 == 0 ? 9000.0 : 300.0;
            samples[i] = static_cast<std::int16_t>(burst * std::sin(0.37 * static_cast<double>(i)));
        }
        for (const std::size_t at : c.clippedAt) {
            std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(at), 3, c.fullScale);
            if (at > 0) {
                samples[at - 1] = static_cast<std::int16_t>(c.fullScale - 1);
            }
        }
        const auto lowest = static_cast<std::int16_t>(-c.fullScale);
        const SoundMeasures measured = measureSound(samples, lowest, c.fullScale);

        ClippingRunCounter clipping(lowest, c.fullScale);
        clipping.add(samples);
        TruePeakMeter truePeak;
        std::vector<float> scaled;
        for (const std::int16_t s : samples) {
            scaled.push_back(static_cast<float>(s / 32768.0));
        }
        truePeak.add(scaled);
        const SpeechLevel speech = measureSpeechLevel(samples);
        const AudioLevels levels = measureLevels(samples);

        EXPECT_EQ(measured.truePeakDbfs, truePeak.truePeakDbfs());
        EXPECT_EQ(measured.speech.activeLevelDbm0, speech.activeLevelDbm0);
        EXPECT_EQ(measured.speech.activityFactor, speech.activityFactor);
        EXPECT_EQ(measured.levels.rmsDbfs, levels.rmsDbfs);
        EXPECT_EQ(measured.levels.peakDbfs, levels.peakDbfs);
        const ClippingRuns runs = clipping.result();
        EXPECT_EQ(measured.clipping.fullScaleSamples, runs.fullScaleSamples);
        EXPECT_EQ(measured.clipping.runs, runs.runs);
        EXPECT_EQ(measured.clipping.samples, runs.samples);
        EXPECT_EQ(runs.runs, c.clippedAt.size());
    }
}

// A quarter second of silence at each end of a square wave at half scale; each line is
// its label padded to the column, one space at least.
TEST(SoundMeasures, TheTextReportLinesUpItsFigures) {
    std::vector<std::int16_t> samples(8000, 0);
    for (std::size_t i = 2000; i < 6000; ++i) {
        samples[i] = (i / 20) % 2 == 0 ? 16384 : -16384;
    }
    const std::string text = soundText(measureSound(samples), "  ", 10);
    for (const char* line :
         {"\n  RMS       -9.03 dBFS\n", "\n  DC offset +0.00 % of full scale\n",
          "\n  clipping  none\n", "\n  silence   0.250 s leading, 0.250 s trailing\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
    EXPECT_TRUE(text.starts_with("  peak      -6.02 dBFS, true peak ")) << text;
    EXPECT_NE(soundText(measureSound(samples), "", 3).find("\nDC offset +0.00"), std::string::npos);
}

}  // namespace
}  // namespace quen::tool
