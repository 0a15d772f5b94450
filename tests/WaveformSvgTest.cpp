// The waveform picture read back from its SVG: the dBFS ticks at their amplitudes,
// mirrored about the middle line; the min/max envelope at the samples' own values,
// column by column; silence shaded and clipped runs marked over the columns they fill.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "quen/WaveformSvg.h"

namespace quen::tool {
namespace {

// The plot: 1130 columns from x = 50, its middle line at y = 150, full scale 110 away.
constexpr int COLUMNS = 1130;
constexpr double MIDDLE = 150.0;
constexpr double HALF_HEIGHT = 110.0;

std::vector<std::smatch> matches(const std::string& svg, const std::regex& pattern) {
    return {std::sregex_iterator(svg.begin(), svg.end(), pattern), std::sregex_iterator()};
}

TEST(WaveformSvgTest, TheDecibelTicksStandAtTheirAmplitudesMirrored) {
    const std::vector<std::int16_t> samples(800, 1000);
    const std::string svg = waveformSvg(samples, INT16_MIN, INT16_MAX, "t");
    std::map<int, std::vector<double>> heights;
    for (const auto& m : matches(
             svg, std::regex("<text x=\"\\d+\" y=\"([0-9.]+)\" text-anchor=\"end\" "
                             "dominant-baseline=\"middle\" font-size=\"10\">(-?\\d+)</text>"))) {
        heights[std::stoi(m[2])].push_back(std::stod(m[1]));
    }
    ASSERT_EQ(heights.size(), 4u);
    for (const int decibels : {0, -6, -12, -20}) {
        SCOPED_TRACE(decibels);
        ASSERT_EQ(heights[decibels].size(), 2u);
        const double above = MIDDLE - heights[decibels][0];
        EXPECT_NEAR(above, HALF_HEIGHT * std::pow(10.0, decibels / 20.0), 0.06);
        EXPECT_NEAR(heights[decibels][1] - MIDDLE, above, 0.06);
    }
}

// One sample a column: the envelope's top and bottom both stand at the sample.
TEST(WaveformSvgTest, TheEnvelopeFollowsEachColumnsLowestAndHighest) {
    std::vector<std::int16_t> samples(COLUMNS);
    for (int i = 0; i < COLUMNS; ++i) {
        samples[i] = static_cast<std::int16_t>(i < COLUMNS / 2 ? -16384 : 8192);
    }
    const std::string svg = waveformSvg(samples, INT16_MIN, INT16_MAX, "t");
    // The first outline is the min/max one (std::regex recurses too deep for its points).
    const std::string marker = "<polygon fill=\"#8fb8de\"";
    const std::size_t polygon = svg.find(marker);
    ASSERT_NE(polygon, std::string::npos);
    ASSERT_EQ(svg.find(marker, polygon + 1), std::string::npos);
    const std::size_t from = svg.find("points=\"", polygon) + 8;
    std::istringstream points(svg.substr(from, svg.find('"', from) - from));
    std::vector<std::pair<double, double>> pairs;
    double x = 0;
    double y = 0;
    char comma = 0;
    while (points >> x >> comma >> y) {
        pairs.emplace_back(x, y);
    }
    ASSERT_EQ(pairs.size(), 2u * COLUMNS);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double sample = pairs[k].first < 50 + COLUMNS / 2 ? -16384 : 8192;
        ASSERT_NEAR(pairs[k].second, MIDDLE - sample / 32768.0 * HALF_HEIGHT, 0.06)
            << "point " << k;
    }
}

TEST(WaveformSvgTest, SilenceIsShadedAndClippedRunsAreMarkedWhereTheyFall) {
    // Silence in the first half; three full-scale samples at columns 900 to 902.
    std::vector<std::int16_t> samples(COLUMNS, 0);
    for (int i = COLUMNS / 2; i < COLUMNS; ++i) {
        samples[i] = 5000;
    }
    samples[900] = samples[901] = samples[902] = INT16_MAX;
    const std::string svg = waveformSvg(samples, INT16_MIN, INT16_MAX, "a<b");
    EXPECT_NE(svg.find("<rect x=\"50\" y=\"40\" width=\"565\" height=\"220\" fill=\"#eeeeee\"/>"),
              std::string::npos);
    // The run counts from its third sample, in that sample's column.
    const auto marks = matches(svg, std::regex("<rect x=\"(\\d+)\" y=\"34\" width=\"(\\d+)\" "
                                               "height=\"6\" fill=\"#d62728\"/>"));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0][1], "952");
    EXPECT_EQ(marks[0][2], "1");
    EXPECT_NE(svg.find(">a&lt;b</text>"), std::string::npos);
}

// Every line of the frame spans the plot: the middle line of both pictures from x = 50 to
// x = 1180, the page's grid lines at the amplitudes of the scale, the scale's unit above
// the plot.
TEST(WaveformSvgTest, TheFrameAndGridSpanThePlotAtTheirAmplitudes) {
    const std::vector<std::int16_t> samples(800, 1000);
    const std::string middle = "<line x1=\"50\" y1=\"150.0\" x2=\"1180\" y2=\"150.0\"";
    const std::string picture = waveformSvg(samples, INT16_MIN, INT16_MAX, "t");
    EXPECT_NE(picture.find(middle + " stroke=\"#ccc\"/>"), std::string::npos);
    EXPECT_NE(picture.find("<text x=\"4\" y=\"30\" font-size=\"10\">dBFS</text>"),
              std::string::npos);

    const std::string plot = waveformPlotSvg(samples, INT16_MIN, INT16_MAX);
    EXPECT_NE(plot.find(middle + " stroke=\"#999\""), std::string::npos);
    std::vector<double> grid;
    for (const auto& m : matches(plot, std::regex("<line x1=\"50\" y1=\"([0-9.]+)\" x2=\"1180\" "
                                                  "y2=\"\\1\" stroke=\"#0003\""))) {
        grid.push_back(std::stod(m[1]));
    }
    ASSERT_EQ(grid.size(), 8u);
    constexpr int DECIBELS[] = {0, -6, -12, -20};
    for (std::size_t k = 0; k < grid.size(); k += 2) {
        const double above = HALF_HEIGHT * std::pow(10.0, DECIBELS[k / 2] / 20.0);
        EXPECT_NEAR(MIDDLE - grid[k], above, 0.06) << k;
        EXPECT_NEAR(grid[k + 1] - MIDDLE, above, 0.06) << k;
    }
}

}  // namespace
}  // namespace quen::tool
