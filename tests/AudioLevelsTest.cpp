// The levels every command shows: peak and RMS exact to the sample (silence has none),
// and the silent ends cut at the first and last sample that reaches -50 dBFS.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "dsp/AudioLevels.h"

namespace quen {
namespace {

constexpr double NONE = -std::numeric_limits<double>::infinity();

double dbfs(double amplitude) {
    return 20 * std::log10(amplitude / 32768.0);
}

TEST(AudioLevels, PeakAndRmsAreExactAndSilenceHasNone) {
    struct Case {
        const char* name;
        std::vector<std::int16_t> samples;
        double peak;
        double rms;
    };
    const Case cases[] = {
        {"nothing", {}, NONE, NONE},
        {"digital silence", {0, 0, 0, 0}, NONE, NONE},
        {"one step", {0, 1, 0, 0}, dbfs(1), dbfs(0.5)},
        {"a 3-4 pair", {3, -4}, dbfs(4), dbfs(std::sqrt(12.5))},
        {"negative full scale", {-32768, -32768}, 0.0, 0.0},
        {"positive full scale", {32767}, dbfs(32767), dbfs(32767)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AudioLevels levels = measureLevels(c.samples);
        EXPECT_EQ(levels.samples, c.samples.size());
        EXPECT_DOUBLE_EQ(levels.peakDbfs, c.peak);
        EXPECT_DOUBLE_EQ(levels.rmsDbfs, c.rms);
    }
}

// -50 dBFS is 103.6 on the 16-bit scale: 104 is sound, 103 silence.
TEST(AudioLevels, TheSilentEndsStopAtTheFirstAndLastSampleThatIsHeard) {
    struct Case {
        std::vector<std::int16_t> samples;
        std::size_t leading;
        std::size_t trailing;
    };
    const Case cases[] = {
        {{103, -103, 104, 0, -104, 103}, 2, 1},
        {{-104}, 0, 0},
        {{103, 0, -103}, 3, 3},  // silent throughout: whole at both ends
        {{}, 0, 0},
    };
    for (const Case& c : cases) {
        const AudioLevels levels = measureLevels(c.samples);
        EXPECT_EQ(levels.leadingSilence, c.leading) << c.samples.size();
        EXPECT_EQ(levels.trailingSilence, c.trailing) << c.samples.size();
    }
}

}  // namespace
}  // namespace quen
