// The last step to 16 bits: the dither adds noise around the value, never an offset, and
// the ends of the range stay at their own end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "dsp/Dither.h"

namespace quen::test {
namespace {

TEST(Dither, CentresOnTheValueAndClampsAtEitherEnd) {
    const struct {
        float sample;
        double gain;
        double mean;  // of the output samples
        int lowest;
        int highest;
    } rows[] = {
        {0.25f, 1.0, 0.25 * 32767, 8191, 8193},
        {-0.5f, 0.5, -0.25 * 32767, -8193, -8191},
        {-1.0f, 2.0, -32768, -32768, -32768},
        {1.0f, 2.0, 32767, 32767, 32767},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sample);
        std::vector<std::int16_t> output;
        Ditherer().add(std::vector<float>(20000, row.sample), row.gain, output);
        const double sum = std::accumulate(output.begin(), output.end(), 0.0);
        EXPECT_NEAR(sum / double(output.size()), row.mean, 0.05);
        EXPECT_EQ(*std::min_element(output.begin(), output.end()), row.lowest);
        EXPECT_EQ(*std::max_element(output.begin(), output.end()), row.highest);
    }
}

// The noise goes on across blocks, so the bytes do not depend on how the samples are cut;
// each block is appended after what the output holds. NaN is silence, give or take the
// dither.
TEST(Dither, BlocksAppendTheSameBytesAsOneCall) {
    std::vector<float> samples(3000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(std::sin(0.01 * double(i)) * 0.7);
    }
    samples[10] = std::nanf("");
    std::vector<std::int16_t> whole{-7};
    Ditherer().add(samples, 0.9, whole);
    std::vector<std::int16_t> cut{-7};
    Ditherer ditherer;
    ditherer.add(std::span(samples).first(1001), 0.9, cut);
    ditherer.add(std::span(samples).subspan(1001), 0.9, cut);
    EXPECT_EQ(cut, whole);
    ASSERT_EQ(whole.size(), samples.size() + 1);
    EXPECT_EQ(whole[0], -7);
    EXPECT_LE(std::abs(whole[11]), 1);
    EXPECT_NEAR(whole[2001], samples[2000] * 0.9 * 32767, 1.5);
}

}  // namespace
}  // namespace quen::test
