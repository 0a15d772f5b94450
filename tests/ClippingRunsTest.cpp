// Clipping: three samples flat at full scale count as a run, two do not, though every
// full-scale sample counts; both ends of the range, runs across block boundaries, a sign
// change, and a wholly clipped recording.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dsp/ClippingRuns.h"

namespace quen::test {
namespace {

constexpr std::int16_t HI = 32767;
constexpr std::int16_t LO = -32768;

TEST(ClippingRuns, CountsRunsOfThreeOrMoreAndEveryFullScaleSample) {
    struct Case {
        const char* what;
        std::vector<std::int16_t> samples;
        std::size_t runs;
        std::size_t samplesInRuns;
        std::size_t fullScale;  // every sample at either end
    };
    const std::vector<Case> cases = {
        {"nothing", {}, 0, 0, 0},
        {"a run of two", {0, HI, HI, 0}, 0, 0, 2},
        {"a run of three", {0, HI, HI, HI, 0}, 1, 3, 3},
        {"a low run of three", {5, LO, LO, LO, 5}, 1, 3, 3},
        {"one step inside the range", {HI - 1, HI - 1, HI - 1, -32767, -32767, -32767}, 0, 0, 0},
        {"a run at the start", {HI, HI, HI, HI, 1}, 1, 4, 4},
        {"a run at the end", {1, LO, LO, LO, LO, LO}, 1, 5, 5},
        {"two runs", {HI, HI, HI, 0, LO, LO, LO, LO}, 2, 7, 7},
        {"a sign change parts a run", {HI, HI, LO, LO, HI, HI}, 0, 0, 6},
        {"high then low, each long enough", {HI, HI, HI, LO, LO, LO}, 2, 6, 6},
        {"single samples", {HI, 0, LO, 0, HI}, 0, 0, 3},
        {"twos between ordinary samples", {HI, HI, 0, HI, HI, 0, LO, LO}, 0, 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Cut at every place, so a run across a block boundary is seen whole.
        for (std::size_t cut = 0; cut <= c.samples.size(); ++cut) {
            ClippingRunCounter counter(LO, HI);
            counter.add(std::span(c.samples).first(cut));
            counter.add(std::span(c.samples).subspan(cut));
            const ClippingRuns runs = counter.result();
            EXPECT_EQ(runs.runs, c.runs) << "cut at " << cut;
            EXPECT_EQ(runs.samples, c.samplesInRuns) << "cut at " << cut;
            EXPECT_EQ(runs.fullScaleSamples, c.fullScale) << "cut at " << cut;
        }
    }
}

TEST(ClippingRuns, AWhollyClippedRecordingIsOneRun) {
    const std::vector<std::int16_t> clipped(96000, LO);
    ClippingRunCounter counter(LO, HI);
    for (std::size_t start = 0; start < clipped.size(); start += 1000) {
        counter.add(std::span(clipped).subspan(start, 1000));
    }
    EXPECT_EQ(counter.result().runs, 1u);
    EXPECT_EQ(counter.result().samples, clipped.size());
    // Reading does not end the run.
    counter.add(std::span(clipped).first(10));
    EXPECT_EQ(counter.result().runs, 1u);
    EXPECT_EQ(counter.result().samples, clipped.size() + 10);
}

TEST(ClippingRuns, FloatingPointSourcesUseTheFullScaleGiven) {
    const std::vector<float> samples = {0.5f,   1.0f,   1.25f,  1.0f, 0.0f,  -1.0f, -1.0f, 0.0f,
                                        0.999f, 0.999f, 0.999f, 0.0f, -2.0f, -1.0f, -1.5f};
    ClippingRunCounter atOne = ClippingRunCounter::forFloat();
    atOne.add(std::span(samples));
    EXPECT_EQ(atOne.result().runs, 2u);
    EXPECT_EQ(atOne.result().samples, 6u);

    // A source whose full scale lies just under 1.0, as 32767 / 32768 does.
    ClippingRunCounter lower(-0.999, 0.999);
    lower.add(std::span(samples));
    EXPECT_EQ(lower.result().runs, 3u);
    EXPECT_EQ(lower.result().samples, 9u);
}

}  // namespace
}  // namespace quen::test
