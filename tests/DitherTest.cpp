// The last step to 16 bits: the dither adds noise around the value, never an offset, and
// the ends of the range stay at their own end.
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
}  // namespace quen::test
