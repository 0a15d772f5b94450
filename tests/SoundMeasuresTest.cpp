// The figures every report shows: the DC offset as the mean of the samples, signed and
// never -0, and clipping as every full-scale sample beside the runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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
